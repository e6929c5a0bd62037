# Runs at install time (from cmake/Install.cmake): writes the desktop entry with the
# absolute path of the installed program, which is known only once the prefix is.
# In: SORVANE_DESKTOP_TEMPLATE, SORVANE_DESKTOP_NAME, SORVANE_PROGRAM_NAME, and the
# install's CMAKE_INSTALL_PREFIX.

# A relative --prefix is taken from where the install runs.
get_filename_component(prefix "${CMAKE_INSTALL_PREFIX}" ABSOLUTE)
set(program "${prefix}/${SORVANE_PROGRAM_NAME}")

if(program MATCHES "[\t\n\r]")
  message(FATAL_ERROR "The install prefix holds a tab or line break, which a desktop "
                      "entry cannot name: ${prefix}")
endif()

# The Exec key is a command line: a path holding a reserved character is quoted, and
# inside the quotes ", `, $ and \ are escaped with a backslash.
set(exec "${program}")
if(exec MATCHES "[ \"'\\\\><~|&;$*?#()`]")
  string(REGEX REPLACE "([\"`$\\\\])" "\\\\\\1" exec "${exec}")
  set(exec "\"${exec}\"")
endif()
# % starts a field code there; a literal one is doubled.
string(REPLACE "%" "%%" exec "${exec}")

# Both keys are also string values, in which a backslash is written twice.
string(REPLACE "\\" "\\\\" SORVANE_DESKTOP_EXEC "${exec}")
string(REPLACE "\\" "\\\\" SORVANE_DESKTOP_TRYEXEC "${program}")

set(destination "$ENV{DESTDIR}${prefix}/share/applications")
file(MAKE_DIRECTORY "${destination}")
configure_file("${SORVANE_DESKTOP_TEMPLATE}" "${destination}/${SORVANE_DESKTOP_NAME}" @ONLY)
message(STATUS "Installing: ${destination}/${SORVANE_DESKTOP_NAME}")
