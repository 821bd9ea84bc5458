# Each library offers its headers under its own folder name and nothing else:
# "engine/packet.h" resolves for the targets that link tarvik_engine, and an
# include that goes against the direction of the layers fails to build.
function(tarvik_library name folder)
  add_library(${name} STATIC ${ARGN})
  set(root ${CMAKE_BINARY_DIR}/headers/${folder})
  if(NOT EXISTS ${root}/${folder})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  endif()
  target_include_directories(${name} PUBLIC ${root})
endfunction()
