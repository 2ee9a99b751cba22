# Installs the build at BUILD into PREFIX (made afresh, removed after) and checks the desktop
# integration there: the program, its Resources and the bin link, a desktop file that
# desktop-file-validate accepts, and the design type, which PROBE (run with XDG_DATA_HOME on the
# installed share folder, after update-mime-database) must give to "a.VELKFOLIO". Then the same
# for tools/desktop-integration.sh at SOURCE, with XDG_DATA_HOME on a fresh folder.
function(check_type data what)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env XDG_DATA_HOME=${data} XDG_DATA_DIRS=/usr/share
                          ${PROBE} a.VELKFOLIO b.velkfolio c.json
                  OUTPUT_VARIABLE out RESULT_VARIABLE rc)
  set(want "a.VELKFOLIO application/x-velk-leafwrighter-design json\nb.velkfolio application/x-velk-leafwrighter-design json\nc.json application/json json\n")
  if(NOT rc EQUAL 0 OR NOT out STREQUAL want)
    message(FATAL_ERROR "${what}: the design type is not known:\n${out}")
  endif()
endfunction()

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${ARGN} failed (${rc}):\n${out}${err}")
  endif()
endfunction()

file(REMOVE_RECURSE ${PREFIX})
run(${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX})
set(missing "")
foreach(path lib/velk-leafwrighter/leafwrighter lib/velk-leafwrighter/Resources/Fonts
             share/applications/velk-leafwrighter.desktop share/mime/packages/velk-leafwrighter.xml
             share/icons/hicolor/48x48/apps/velk-leafwrighter.png)
  if(NOT EXISTS ${PREFIX}/${path})
    list(APPEND missing ${path})
  endif()
endforeach()
file(READ_SYMLINK ${PREFIX}/bin/leafwrighter link)
if(NOT link STREQUAL "../lib/velk-leafwrighter/leafwrighter")
  list(APPEND missing "bin/leafwrighter link (${link})")
endif()
if(missing)
  message(FATAL_ERROR "not installed: ${missing}")
endif()
file(STRINGS ${PREFIX}/share/applications/velk-leafwrighter.desktop exec REGEX "^Exec=")
if(NOT exec STREQUAL "Exec=${PREFIX}/bin/leafwrighter %F")
  message(FATAL_ERROR "wrong program: ${exec}")
endif()
run(desktop-file-validate ${PREFIX}/share/applications/velk-leafwrighter.desktop)
run(update-mime-database ${PREFIX}/share/mime)
check_type(${PREFIX}/share "cmake --install")
file(REMOVE_RECURSE ${PREFIX})

# The user's integration, into a folder standing for ~/.local/share.
set(data ${PREFIX}-data)
file(REMOVE_RECURSE ${data})
run(${CMAKE_COMMAND} -E env XDG_DATA_HOME=${data} LW_BUILD_DIR=${BUILD} ${SOURCE}/tools/desktop-integration.sh)
run(desktop-file-validate ${data}/applications/velk-leafwrighter.desktop)
file(STRINGS ${data}/applications/velk-leafwrighter.desktop exec REGEX "^Exec=")
if(NOT exec STREQUAL "Exec=${BUILD}/bin/leafwrighter %F")
  message(FATAL_ERROR "wrong program: ${exec}")
endif()
if(NOT EXISTS ${data}/applications/mimeinfo.cache)
  message(FATAL_ERROR "update-desktop-database did not run")
endif()
check_type(${data} "tools/desktop-integration.sh")
file(REMOVE_RECURSE ${data})
