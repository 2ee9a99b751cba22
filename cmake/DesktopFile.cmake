# cmake -DEXEC=<program> -DOUT=<file> -P DesktopFile.cmake: writes the desktop file from
# packaging/velk-leafwrighter.desktop.in with Exec naming EXEC, quoted and escaped as the
# desktop entry format asks when the path holds blanks or other reserved characters.
# Used by `cmake --install` and by tools/desktop-integration.sh.
if(NOT EXEC OR NOT OUT)
  message(FATAL_ERROR "usage: cmake -DEXEC=<program> -DOUT=<file> -P DesktopFile.cmake")
endif()
set(exec "${EXEC}")
if(NOT exec MATCHES "^[A-Za-z0-9/._+-]+$")
  # Inside double quotes: backslash, quote, backtick and dollar take a backslash.
  string(REPLACE "\\" "\\\\" exec "${exec}")
  string(REPLACE "\"" "\\\"" exec "${exec}")
  string(REPLACE "`" "\\`" exec "${exec}")
  string(REPLACE "$" "\\$" exec "${exec}")
  set(exec "\"${exec}\"")
  # The key's value is itself a string, whose backslashes are escaped once more.
  string(REPLACE "\\" "\\\\" exec "${exec}")
endif()
string(REPLACE "%" "%%" exec "${exec}")
set(LW_EXEC "${exec}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/../packaging/velk-leafwrighter.desktop.in "${OUT}" @ONLY)
