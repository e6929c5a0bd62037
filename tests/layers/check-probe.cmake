# cmake -DBUILD_DIR=<build> -DPROBE=<probe> -DHEADER=<header> -P check-probe.cmake
# <probe>_own must build; <probe>_above must fail, and on <header> itself.
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${PROBE}_own
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the layer's own header does not compile, so the probe proves nothing:\n${output}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${PROBE}_above
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(result EQUAL 0)
  message(FATAL_ERROR "${HEADER} is reachable from a layer below it")
endif()
# GCC: "<header>: No such file or directory"; Clang: "'<header>' file not found".
string(REGEX MATCH "${HEADER}(: No such file|' file not found)" missing "${output}")
if(NOT missing)
  message(FATAL_ERROR "the probe failed, but not on ${HEADER}:\n${output}")
endif()
message(STATUS "${HEADER} is out of reach, as it should be")
