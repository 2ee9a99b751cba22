# cmake -DPROGRAM=<leafwrighter> -DCHECKS=<n> -P selftest.cmake
# Runs "<program> --selftest" headless. With n checks expected it must exit 0 with the line
# "RESULT: ALL <n> CHECKS PASSED"; with none, exit 1 with "RESULT: NO CHECKS RAN". Standard
# error must stay empty either way.
set(ENV{QT_QPA_PLATFORM} offscreen)
execute_process(COMMAND ${PROGRAM} --selftest
  RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(CHECKS EQUAL 0)
  set(want_code 1)
  set(want_line "RESULT: NO CHECKS RAN")
else()
  set(want_code 0)
  set(want_line "RESULT: ALL ${CHECKS} CHECKS PASSED")
endif()
string(FIND "${out}" "\n${want_line}\n" at)
if(NOT code STREQUAL want_code OR at EQUAL -1 OR NOT err STREQUAL "")
  message(FATAL_ERROR "expected exit ${want_code}, \"${want_line}\" and no standard error; "
                      "got exit ${code}\n--- standard output:\n${out}--- standard error:\n${err}")
endif()
