# The interface's symbol images: fetched from the npm registry at a pinned version (checked against
# tools/fetch-symbols.lock.tsv), cached per user, laid out in <build>/bin/Resources/Symbols.
# Target lw_symbols; every executable of the project depends on it (see Fonts.cmake).
set(LW_SYMBOLS_DIR ${LW_RESOURCES_DIR}/Symbols)
set(LW_SYMBOLS_STAMP ${CMAKE_BINARY_DIR}/lw_symbols.stamp)

add_custom_command(
  OUTPUT ${LW_SYMBOLS_STAMP}
  COMMAND ${LW_NODE} ${PROJECT_SOURCE_DIR}/tools/fetch-symbols.mjs --out ${LW_SYMBOLS_DIR}
  COMMAND ${CMAKE_COMMAND} -E touch ${LW_SYMBOLS_STAMP}
  DEPENDS ${PROJECT_SOURCE_DIR}/tools/fetch-symbols.mjs ${PROJECT_SOURCE_DIR}/tools/fetch-symbols.lock.tsv
          ${PROJECT_SOURCE_DIR}/tools/npm-fetch.mjs
  COMMENT "Fetching and checking the symbol images"
  VERBATIM)
add_custom_target(lw_symbols DEPENDS ${LW_SYMBOLS_STAMP})
