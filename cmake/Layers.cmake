# Each layer is a static library in a folder of its own, whose headers code reaches as
# "<layer>/Header.h". A target's include roots hold only the folders of the layers it links
# (each root is a build-tree folder with one link to the layer's source folder), so a layer
# that includes a header of a layer above it, or beside it, fails to compile.

# sorvane_include_root(<target> <prefix> <folder> [PUBLIC|PRIVATE|INTERFACE])
# Makes <folder> reachable to <target> and its users as "<prefix>/...".
function(sorvane_include_root target prefix folder)
  set(scope PUBLIC)
  if(ARGC GREATER 3)
    set(scope ${ARGV3})
  endif()
  set(root ${CMAKE_BINARY_DIR}/include/${target})
  file(MAKE_DIRECTORY ${root})
  file(CREATE_LINK ${folder} ${root}/${prefix} SYMBOLIC)
  target_include_directories(${target} ${scope} ${root})
endfunction()

# sorvane_layer(<name> SOURCES ... [DEPENDS ...] [PRIVATE_DEPENDS ...])
# The static library sorvane_<name> from this folder, reached as "<name>/...".
function(sorvane_layer name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SOURCES;DEPENDS;PRIVATE_DEPENDS")
  add_library(sorvane_${name} STATIC ${arg_SOURCES})
  sorvane_include_root(sorvane_${name} ${name} ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(sorvane_${name} PUBLIC ${arg_DEPENDS} PRIVATE ${arg_PRIVATE_DEPENDS})
endfunction()
