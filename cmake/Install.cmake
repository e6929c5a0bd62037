# Portable program folder: the program, sorvane-convert (which converts old Access results
# files elsewhere) and, only when none is there yet, an empty results database beside them.
# An existing database is never overwritten.
install(TARGETS sorvane sorvane-convert RUNTIME DESTINATION .)
if(COMMAND sorvane_install_database)
  sorvane_install_database()
endif()

# Desktop integration beside the program folder: DIR/share holds the desktop entry,
# the icon theme's icons and the AppStream metainfo, ready to be linked into the
# user's or the system's share folder.
set(SORVANE_APP_ID org.sorvane.Sorvane)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/resources/icons/ DESTINATION share/icons)
install(FILES ${PROJECT_SOURCE_DIR}/resources/desktop/${SORVANE_APP_ID}.metainfo.xml
        DESTINATION share/metainfo)
install(CODE "
  set(SORVANE_DESKTOP_TEMPLATE \"${PROJECT_SOURCE_DIR}/resources/desktop/${SORVANE_APP_ID}.desktop.in\")
  set(SORVANE_DESKTOP_NAME \"${SORVANE_APP_ID}.desktop\")
  set(SORVANE_PROGRAM_NAME \"$<TARGET_FILE_NAME:sorvane>\")
  include(\"${PROJECT_SOURCE_DIR}/cmake/DesktopEntry.cmake\")
")
