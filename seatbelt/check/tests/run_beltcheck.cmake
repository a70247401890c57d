# Runs one build of beltcheck and checks how it ends.
#   PROGRAM        the executable to run
#   EXPECTED_LINE  0: it must print the pass line and exit with 0;
#                  29, 34, 41 or 43: it must stop abnormally with that line's assertion report on
#                  stderr and nothing on stdout.
set(expression_29 "Rte_Read_SeatbeltLatchFiltered().value == true")
set(expression_34 "Rte_Read_SeatbeltLatchFiltered().value == false")
set(expression_41 "Rte_Read_OccupancyFiltered().value == OCC_OCCUPIED")
set(expression_43 "Rte_Read_OccupancyFiltered().value == OCC_EMPTY")

execute_process(COMMAND "${PROGRAM}" RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
set(got "exit '${result}', stdout '${out}', stderr '${err}'")

if(EXPECTED_LINE EQUAL 0)
  if(NOT result EQUAL 0 OR NOT out STREQUAL "All debounce tests passed\n" OR NOT err STREQUAL "")
    message(FATAL_ERROR "expected the pass line and exit 0, got ${got}")
  endif()
else()
  # The C library's report (glibc wording) around the four items: file, line, function, text.
  set(report "beltcheck:${EXPECTED_LINE}: main: Assertion `${expression_${EXPECTED_LINE}}' failed.")
  string(FIND "${err}" "${report}" at)
  # A number is an ordinary exit; an abnormal end is reported as text ("Child aborted").
  if(result MATCHES "^[0-9]+$" OR NOT out STREQUAL "" OR at EQUAL -1)
    message(FATAL_ERROR "expected an abnormal end with \"${report}\", got ${got}")
  endif()
endif()
