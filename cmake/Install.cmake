# Portable program folder: the program and, only when none is there yet, an empty
# results database beside it. An existing database is never overwritten.
install(TARGETS sorvane RUNTIME DESTINATION .)
if(COMMAND sorvane_install_database)
  sorvane_install_database()
endif()
