# The application's icon (packaging/velk-leafwrighter.svg), laid out by a small QtSvg program in
# the hicolor layout in <build>/bin/Resources/icons/hicolor beside the executables, and installed
# under share/icons/hicolor (component "icons"). Target lw_appicon.
set(LW_ICON_NAME velk-leafwrighter)
set(LW_ICON_SIZES 16 24 32 48 64 128 256 512)
set(LW_ICON_SVG ${PROJECT_SOURCE_DIR}/packaging/${LW_ICON_NAME}.svg)
set(LW_ICONS_DIR ${LW_RESOURCES_DIR}/icons/hicolor)
set(LW_ICONS_STAMP ${CMAKE_BINARY_DIR}/lw_appicon.stamp)

add_executable(lw_render_icon ${PROJECT_SOURCE_DIR}/tools/render-icon.cpp)
target_link_libraries(lw_render_icon PRIVATE Qt6::Svg Qt6::Gui)

# Under the sanitizer build the step runs instrumented: Qt's one-time allocations are no leak.
add_custom_command(
  OUTPUT ${LW_ICONS_STAMP}
  COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
          $<TARGET_FILE:lw_render_icon> ${LW_ICON_SVG} ${LW_ICONS_DIR} ${LW_ICON_NAME} ${LW_ICON_SIZES}
  COMMAND ${CMAKE_COMMAND} -E touch ${LW_ICONS_STAMP}
  DEPENDS lw_render_icon ${LW_ICON_SVG}
  COMMENT "Rendering the application icon"
  VERBATIM)
add_custom_target(lw_appicon DEPENDS ${LW_ICONS_STAMP})

install(DIRECTORY ${LW_ICONS_DIR} DESTINATION share/icons COMPONENT icons)
