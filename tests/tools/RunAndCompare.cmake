# Runs a program and compares its standard output with a file.
#   cmake -DPROGRAM=<exe> -DARGS=<arguments joined by "|"> -DEXPECTED=<file> [-DINPUT=<file>]
#         [-DEXPECTED_RESULT=<exit status>] -P RunAndCompare.cmake
if(NOT DEFINED EXPECTED_RESULT)
  set(EXPECTED_RESULT 0)
endif()
string(REPLACE "|" ";" ARGS "${ARGS}")
set(input_args)
if(DEFINED INPUT)
  set(input_args INPUT_FILE ${INPUT})
endif()
execute_process(COMMAND ${PROGRAM} ${ARGS}
  ${input_args}
  OUTPUT_VARIABLE output
  ERROR_VARIABLE errors
  RESULT_VARIABLE result)
file(READ ${EXPECTED} expected)
if(NOT "${result}" STREQUAL "${EXPECTED_RESULT}")
  message(FATAL_ERROR "exit status ${result}, expected ${EXPECTED_RESULT}\nstderr:\n${errors}")
endif()
if(NOT output STREQUAL expected)
  message(FATAL_ERROR "output differs\n--- got:\n${output}--- expected:\n${expected}")
endif()
