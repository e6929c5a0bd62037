# The empty results database phjz.mdb. A tool built here makes it from the committed
# schema into template/; the build then copies it beside the executable and the install
# into the install folder, each only when no phjz.mdb is there yet, so records a user saved
# while running from the build tree or an installed copy are never overwritten.

set(SORVANE_DATABASE_SCHEMA ${PROJECT_SOURCE_DIR}/src/store/sqlite/database/phb.sql)
set(SORVANE_DATABASE_TEMPLATE ${CMAKE_BINARY_DIR}/template/phjz.mdb)

add_executable(sorvane_make_database ${PROJECT_SOURCE_DIR}/src/store/sqlite/database/MakeDatabase.cpp)
target_link_libraries(sorvane_make_database PRIVATE SQLite::SQLite3)
# Kept out of bin/, which is the program's own folder.
set_target_properties(sorvane_make_database PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)

add_custom_command(
  OUTPUT ${SORVANE_DATABASE_TEMPLATE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/template
  COMMAND sorvane_make_database ${SORVANE_DATABASE_SCHEMA} ${SORVANE_DATABASE_TEMPLATE}
  DEPENDS sorvane_make_database ${SORVANE_DATABASE_SCHEMA}
  COMMENT "Making the empty results database"
  VERBATIM)

add_custom_target(sorvane_database ALL
  COMMAND ${CMAKE_COMMAND} -DSOURCE=${SORVANE_DATABASE_TEMPLATE}
    -DTARGET=${CMAKE_BINARY_DIR}/bin/phjz.mdb -P ${CMAKE_CURRENT_LIST_DIR}/CopyIfMissing.cmake
  DEPENDS ${SORVANE_DATABASE_TEMPLATE}
  VERBATIM)

function(sorvane_install_database)
  install(CODE "
    if(EXISTS \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/phjz.mdb\")
      message(STATUS \"Keeping: \$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/phjz.mdb\")
    else()
      file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}\" TYPE FILE
        FILES \"${SORVANE_DATABASE_TEMPLATE}\")
    endif()
  ")
endfunction()
