# Runs a program and compares its standard output and exit status with what is expected.
#   cmake -DPROGRAM=<exe> ["-DARGS=<arguments as one shell-like string>"] -DEXPECTED=<file> [-DEXPECTED_RC=<n>]
#         [-DEXPECTED_STDERR=<text>] -DACTUAL=<file> -P cmake/ExpectOutput.cmake
# The actual output is kept in ACTUAL so a failure can be diffed by hand. EXPECTED_STDERR, when
# given, must occur somewhere in the program's standard error.
if(NOT DEFINED EXPECTED_RC)
  set(EXPECTED_RC 0)
endif()
separate_arguments(args UNIX_COMMAND "${ARGS}")
execute_process(COMMAND ${PROGRAM} ${args}
  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
file(WRITE "${ACTUAL}" "${out}")
if(NOT rc STREQUAL EXPECTED_RC)
  message(FATAL_ERROR "exit status: expected ${EXPECTED_RC}, got ${rc}\nstderr:\n${err}")
endif()
if(DEFINED EXPECTED_STDERR)
  string(FIND "${err}" "${EXPECTED_STDERR}" pos)
  if(pos EQUAL -1)
    message(FATAL_ERROR "stderr should contain \"${EXPECTED_STDERR}\", got:\n${err}")
  endif()
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${EXPECTED}" "${ACTUAL}"
  RESULT_VARIABLE differ)
if(differ)
  message(FATAL_ERROR "stdout differs from ${EXPECTED}; actual output in ${ACTUAL}:\n${out}")
endif()
