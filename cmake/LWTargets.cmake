# lw_library(name SOURCES ... DEPS ...): one static library per subsystem.
function(lw_library name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${A_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${A_DEPS})
endfunction()

# lw_test(name SOURCES ... DEPS ... [CASES ...]): one GoogleTest executable, run headless by
# CTest. With CASES, CTest runs it once per case, as name.case filtered to the tests whose full
# name ends in that case (a value-parameterised suite's parameter names), so the runs go in parallel.
function(lw_test name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS;CASES" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${A_DEPS} GTest::gtest lw_testmain)
  set(runs ${name})
  if(A_CASES)
    set(runs "")
    foreach(case ${A_CASES})
      add_test(NAME ${name}.${case} COMMAND ${name} --gtest_filter=*/${case})
      list(APPEND runs ${name}.${case})
    endforeach()
  else()
    add_test(NAME ${name} COMMAND ${name})
  endif()
  set_tests_properties(${runs} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LW_TEST_DATA=${PROJECT_SOURCE_DIR}/tests/data"
    WORKING_DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}
    TIMEOUT 600)
endfunction()
