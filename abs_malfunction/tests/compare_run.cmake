# Runs the fixed-clock build of the program and compares its standard output with the expected
# text byte for byte, and the pauses it asked for with the expected count and total.
# Arguments: -DPROGRAM=<executable> -DEXPECTED=<file> -DPAUSES=<expected stderr line>
execute_process(COMMAND "${PROGRAM}"
  RESULT_VARIABLE exit_code
  OUTPUT_VARIABLE actual
  ERROR_VARIABLE errors)

if(NOT exit_code STREQUAL "0")
  message(FATAL_ERROR "expected exit code 0, got '${exit_code}'\n${errors}")
endif()

file(READ "${EXPECTED}" expected)
if(NOT actual STREQUAL expected)
  get_filename_component(name "${PROGRAM}" NAME)
  set(actual_file "${CMAKE_CURRENT_BINARY_DIR}/${name}.actual.txt")
  file(WRITE "${actual_file}" "${actual}")
  message(FATAL_ERROR "output differs from ${EXPECTED}; actual output kept in ${actual_file}")
endif()

if(NOT errors STREQUAL "${PAUSES}\n")
  message(FATAL_ERROR "expected pauses '${PAUSES}', got '${errors}'")
endif()
