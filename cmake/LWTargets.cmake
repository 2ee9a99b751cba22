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

# lw_library(name SOURCES ... DEPS ... [ALONE ...]): one static library per subsystem. Its files
# are compiled in batches, but for those listed ALONE (helpers of the same name as another file's).
function(lw_library name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS;ALONE" ${ARGN})
  add_library(${name} STATIC ${A_SOURCES})
  if(A_ALONE)
    set_source_files_properties(${A_ALONE} PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
  endif()
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${A_DEPS})
  # Files compiled in batches (CMake's unity build): each batch parses the project's headers once.
  set_target_properties(${name} PROPERTIES AUTOMOC ON UNITY_BUILD ON)
  # g++ takes a type of one file's anonymous namespace in another file's class as a fault.
  target_compile_options(${name} PRIVATE $<$<CXX_COMPILER_ID:GNU>:-Wno-subobject-linkage>)
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
# less compile time per test file; the libraries keep their flags), and carries line tables only
# (-g1: 40 % less compile time than -g; a failure's backtrace still names files and lines). In the
# sanitizer tree it is not optimised at all: instrumented, a test file compiles in under half the
# time at -O0, and the sanitizers check it as closely.
function(lw_test_flags target)
  if(LW_FUZZ)
    target_compile_options(${target} PRIVATE -O0)
  else()
    target_compile_options(${target} PRIVATE -O1 -g1)
  endif()
endfunction()

# lw_test(name SOURCES ... DEPS ... [CASES ...] [OPTIMISED]): the sources compiled as one object library
# `name`, linked into its folder's one test program (tests/render -> lw_tests_render), so that a
# folder links once instead of once per former program. CTest still runs `name` as an entry of its
# own: the folder program with --lw-files, which runs only the tests of those files (support/
# testmain.cpp), in a process of their own. With CASES, CTest runs it once per case, as name.case
# filtered to the tests whose full name ends in that case (a value-parameterised suite's parameter
# names), so the runs go in parallel. OPTIMISED: the test code itself does heavy work (walks every
# glyph, makes photos), so it is optimised in the sanitizer tree too, parsing its own headers (the
# shared precompiled header is not optimised there).
function(lw_test name)
  cmake_parse_arguments(A "OPTIMISED" "" "SOURCES;DEPS;CASES" ${ARGN})
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR}/tests ${CMAKE_CURRENT_SOURCE_DIR})
  string(REPLACE "/" "_" folder "${folder}")
  set(program lw_tests_${folder})
  if(NOT TARGET ${program})
    add_executable(${program})
    set_target_properties(${program} PROPERTIES LINKER_LANGUAGE CXX)
  endif()
  # A header shared by several of a folder's lists is given to moc once: one program holds them all.
  get_target_property(mocked ${program} LW_MOCKED)
  if(NOT mocked)
    set(mocked "")
  endif()
  set(sources "")
  foreach(src ${A_SOURCES})
    get_filename_component(path ${src} ABSOLUTE)
    if(src MATCHES "\\.h$" AND path IN_LIST mocked)
      continue()
    endif()
    if(src MATCHES "\\.h$")
      list(APPEND mocked ${path})
    endif()
    list(APPEND sources ${src})
  endforeach()
  set_target_properties(${program} PROPERTIES LW_MOCKED "${mocked}")
  set(A_SOURCES ${sources})
  add_library(${name} OBJECT ${A_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${A_DEPS} GTest::gtest lw_testmain)
  target_sources(${program} PRIVATE $<TARGET_OBJECTS:${name}>)
  target_link_libraries(${program} PRIVATE ${A_DEPS} GTest::gtest lw_testmain)
  add_dependencies(${program} ${name})
  lw_automoc_if_needed(${name} ${A_SOURCES})
  # One compile for a program of several files: each file parses the same project headers.
  list(FILTER A_SOURCES INCLUDE REGEX "\\.cpp$")
  list(LENGTH A_SOURCES files)
  if(files GREATER 1)
    set_target_properties(${name} PROPERTIES UNITY_BUILD ON)
  endif()
  # OPTIMISED in the sanitizer tree keeps that tree's -O1 (a target's own -O1 would be dropped
  # as a repeated option, leaving -O0 last).
  set(optimised OFF)
  if(A_OPTIMISED AND LW_FUZZ)
    set(optimised ON)
  else()
    lw_test_flags(${name})
  endif()
  if(LW_PCH AND NOT optimised)
    # lw_testmain gives every test the same Qt modules, hence the same flags and definitions.
    target_precompile_headers(${name} REUSE_FROM lw_test_pch)
  endif()
  set(names "")
  foreach(src ${A_SOURCES})
    get_filename_component(src ${src} NAME)
    list(APPEND names ${src})
  endforeach()
  list(JOIN names "," names)
  set(runs ${name})
  if(A_CASES)
    set(runs "")
    foreach(case ${A_CASES})
      add_test(NAME ${name}.${case} COMMAND ${program} --lw-files=${names} --gtest_filter=*/${case})
      list(APPEND runs ${name}.${case})
    endforeach()
  else()
    add_test(NAME ${name} COMMAND ${program} --lw-files=${names})
  endif()
  set_tests_properties(${runs} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LW_TEST_DATA=${PROJECT_SOURCE_DIR}/tests/data"
    WORKING_DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}
    LABELS ${folder} # tools/printer-check.sh runs the app folder's once more
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
