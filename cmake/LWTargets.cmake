# Precompiled headers (LW_PCH): the standard library, Qt and GoogleTest are parsed once per library
# and once for all test programs instead of once per file.
set(LW_PCH_DIR ${CMAKE_CURRENT_LIST_DIR}/pch)

# lw_automoc_if_needed(target sources...): moc runs only for targets with a Q_OBJECT of their own;
# an empty autogen step per program costs more than compiling a small test.
function(lw_automoc_if_needed target)
  set(needed OFF)
  foreach(src ${ARGN})
    get_filename_component(path ${src} ABSOLUTE)
    if(EXISTS ${path})
      file(STRINGS ${path} hits REGEX "Q_OBJECT|Q_GADGET|Q_NAMESPACE")
      if(hits)
        set(needed ON)
      endif()
    endif()
  endforeach()
  set_target_properties(${target} PROPERTIES AUTOMOC ${needed})
endfunction()

# lw_library(name SOURCES ... DEPS ...): one static library per subsystem.
function(lw_library name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${A_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${A_DEPS})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  # Widgets headers only where the library may include them (it or a library it builds on links
  # Qt Widgets); each library has its own header, as their flags and definitions differ.
  set(widgets OFF)
  foreach(dep ${A_DEPS})
    if(dep STREQUAL "Qt6::Widgets")
      set(widgets ON)
    elseif(TARGET ${dep} AND dep MATCHES "^lw_")
      get_target_property(dep_widgets ${dep} LW_WIDGETS)
      if(dep_widgets)
        set(widgets ON)
      endif()
    endif()
  endforeach()
  set_target_properties(${name} PROPERTIES LW_WIDGETS ${widgets})
  if(LW_PCH)
    if(widgets)
      target_precompile_headers(${name} PRIVATE ${LW_PCH_DIR}/widgets.h)
    else()
      target_precompile_headers(${name} PRIVATE ${LW_PCH_DIR}/gui.h)
    endif()
  endif()
endfunction()

# lw_preview(name SOURCES ... DEPS ...): a program that is not a test (a window for screenshots
# checked by eye). Built in the release tree so it keeps compiling; the sanitizer tree skips it.
function(lw_preview name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  if(LW_FUZZ)
    return()
  endif()
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_DEPS})
endfunction()

# lw_test_flags(target): test code is optimised less than the code under test (about a quarter
# less compile time per test file; the libraries keep their flags).
function(lw_test_flags target)
  if(NOT LW_FUZZ) # the sanitizer tree builds everything at -O1 already
    target_compile_options(${target} PRIVATE -O1)
  endif()
endfunction()

# lw_test(name SOURCES ... DEPS ... [CASES ...]): one GoogleTest executable, run headless by
# CTest. With CASES, CTest runs it once per case, as name.case filtered to the tests whose full
# name ends in that case (a value-parameterised suite's parameter names), so the runs go in parallel.
function(lw_test name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS;CASES" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${A_DEPS} GTest::gtest lw_testmain)
  lw_automoc_if_needed(${name} ${A_SOURCES})
  # One compile for a program of several files: each file parses the same project headers.
  list(FILTER A_SOURCES INCLUDE REGEX "\\.cpp$")
  list(LENGTH A_SOURCES files)
  if(files GREATER 1)
    set_target_properties(${name} PROPERTIES UNITY_BUILD ON)
  endif()
  lw_test_flags(${name})
  if(LW_PCH)
    # lw_testmain gives every test the same Qt modules, hence the same flags and definitions.
    target_precompile_headers(${name} REUSE_FROM lw_test_pch)
  endif()
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
    COMMAND ${_launcher} ${LW_GXX} -std=c++20 -O1 -g1 -fPIC -DPOINTERHOLDER_TRANSITION=4 -DQT_NO_KEYWORDS
            "-D$<JOIN:${_def},;-D>" "-I$<JOIN:${_inc},;-I>"
            -MD -MF ${_obj}.d -c ${_dir}/${source} -o ${_obj}
    DEPENDS ${_dir}/${source}
    DEPFILE ${_obj}.d
    COMMAND_EXPAND_LISTS VERBATIM)
  set_source_files_properties(${_dir}/${source} PROPERTIES HEADER_FILE_ONLY ON)
  target_sources(${target} PRIVATE ${_obj})
endfunction()
