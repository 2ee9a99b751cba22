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

# lw_compile_with_gxx(target source): under clang, `source` (a file of the target's folder) is
# compiled by g++ instead, without instrumentation: qpdf's headers do not compile with clang 14
# in C++20 (JSON.hh's constexpr destructor of a vector of the still incomplete JSON). Only
# src/render/pdf/pdffile.cpp includes them.
function(lw_compile_with_gxx target source)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    return()
  endif()
  find_program(LW_GXX NAMES g++ REQUIRED)
  get_target_property(_dir ${target} SOURCE_DIR)
  set(_obj ${CMAKE_CURRENT_BINARY_DIR}/${source}.gxx.o)
  set(_inc "$<TARGET_PROPERTY:${target},INCLUDE_DIRECTORIES>")
  set(_def "$<TARGET_PROPERTY:${target},COMPILE_DEFINITIONS>")
  set(_launcher "")
  if(CCACHE_PROGRAM)
    set(_launcher ${CCACHE_PROGRAM})
  endif()
  add_custom_command(OUTPUT ${_obj}
    COMMAND ${_launcher} ${LW_GXX} -std=c++20 -O1 -g -fPIC -DPOINTERHOLDER_TRANSITION=4 -DQT_NO_KEYWORDS
            "-D$<JOIN:${_def},;-D>" "-I$<JOIN:${_inc},;-I>"
            -MD -MF ${_obj}.d -c ${_dir}/${source} -o ${_obj}
    DEPENDS ${_dir}/${source}
    DEPFILE ${_obj}.d
    COMMAND_EXPAND_LISTS VERBATIM)
  set_source_files_properties(${_dir}/${source} PROPERTIES HEADER_FILE_ONLY ON)
  target_sources(${target} PRIVATE ${_obj})
endfunction()
