# The bundled fonts: fetched from the npm registry at pinned versions (checked against the lock),
# cached per user, and laid out in <build>/bin/Resources/Fonts beside the executables.
# Target lw_fonts; every executable of the project depends on it.
find_program(LW_NODE NAMES node nodejs)
if(NOT LW_NODE)
  message(FATAL_ERROR "Node.js is needed to fetch the bundled fonts: run tools/setup.sh "
                      "or install the nodejs and npm packages.")
endif()

set(LW_FONTS_DIR ${LW_RESOURCES_DIR}/Fonts)
set(LW_FONTS_STAMP ${CMAKE_BINARY_DIR}/lw_fonts.stamp)
set(LW_FONTS_INPUTS
  ${PROJECT_SOURCE_DIR}/tools/fetch-fonts.mjs
  ${PROJECT_SOURCE_DIR}/tools/npm-fetch.mjs
  ${PROJECT_SOURCE_DIR}/tools/fetch-fonts.lock.tsv
  ${PROJECT_SOURCE_DIR}/tools/fetch-fonts.groups.tsv
  ${PROJECT_SOURCE_DIR}/tools/fetch-fonts.licenses.tsv)

add_custom_command(
  OUTPUT ${LW_FONTS_STAMP} ${LW_FONTS_DIR}/fonts-manifest.json
  COMMAND ${LW_NODE} ${PROJECT_SOURCE_DIR}/tools/fetch-fonts.mjs --out ${LW_FONTS_DIR}
  COMMAND ${CMAKE_COMMAND} -E touch ${LW_FONTS_STAMP}
  DEPENDS ${LW_FONTS_INPUTS}
  COMMENT "Fetching and checking the bundled fonts"
  VERBATIM)
add_custom_target(lw_fonts DEPENDS ${LW_FONTS_STAMP})

include(${CMAKE_CURRENT_LIST_DIR}/Symbols.cmake)

# Runs once every directory is read: the application, the tests and the benchmarks all need the
# fonts and symbols beside them.
function(lw_fonts_attach dir)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(t IN LISTS targets)
    get_target_property(type ${t} TYPE)
    if(type STREQUAL "EXECUTABLE")
      add_dependencies(${t} lw_fonts lw_symbols)
    endif()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub IN LISTS subdirs)
    lw_fonts_attach(${sub})
  endforeach()
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL lw_fonts_attach ${PROJECT_SOURCE_DIR})
