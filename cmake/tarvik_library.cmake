# Each library offers its headers under its own folder name and nothing else:
# "engine/packet.h" resolves for the targets that link tarvik_engine, and an
# include that goes against the direction of the layers fails to build.

# The include root that shows `folder` (a path from the project root, such
# as "engine" or "bench/load") and nothing beside it.
function(tarvik_header_root folder out)
  set(root ${CMAKE_BINARY_DIR}/headers/${folder})
  if(NOT EXISTS ${root}/${folder})
    get_filename_component(parent ${root}/${folder} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  endif()
  set(${out} ${root} PARENT_SCOPE)
endfunction()

function(tarvik_library name folder)
  add_library(${name} STATIC ${ARGN})
  tarvik_header_root(${folder} root)
  target_include_directories(${name} PUBLIC ${root})
endfunction()

# A program or test that includes the headers of its own folder by their
# full path, and those of others only through the libraries it links.
function(tarvik_own_headers target folder)
  tarvik_header_root(${folder} root)
  target_include_directories(${target} PRIVATE ${root})
endfunction()
