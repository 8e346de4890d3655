# Each layer is a static library whose sources are every .cpp of its
# folder (not of its subfolders, which are layers of their own). New files
# join their layer without editing any CMake file.
#
# A layer's users see its headers only, under their usual names
# ("monitor/loader_pool.h"): each library exposes a folder of links to its
# own headers instead of the whole source tree, so an include of a layer
# it does not link to (a higher one) fails to compile.
function(velmora_expose_headers name dir)
  set(_root ${CMAKE_BINARY_DIR}/include/${name})
  string(REGEX REPLACE "^src/" "" _relative ${dir})
  file(GLOB _headers CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.h)
  file(REMOVE_RECURSE ${_root})
  file(MAKE_DIRECTORY ${_root}/${_relative})
  foreach(_header ${_headers})
    get_filename_component(_file ${_header} NAME)
    file(CREATE_LINK ${_header} ${_root}/${_relative}/${_file} SYMBOLIC)
  endforeach()
  get_target_property(_type ${name} TYPE)
  if(_type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${name} INTERFACE ${_root})
  else()
    target_include_directories(${name} PUBLIC ${_root})
  endif()
endfunction()

function(velmora_layer name dir)
  file(GLOB _srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
  # The headers are sources too, so the Qt meta-object compiler sees them.
  file(GLOB _headers CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.h)
  if(_srcs)
    add_library(${name} STATIC ${_srcs} ${_headers})
    target_link_libraries(${name} PUBLIC ${ARGN} Threads::Threads)
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE ${ARGN} Threads::Threads)
  endif()
  velmora_expose_headers(${name} ${dir})
endfunction()

# A test program per folder: every .cpp in it, linked with GoogleTest and
# the given libraries, registered with CTest test by test.
function(velmora_test_folder name dir)
  file(GLOB _srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
  if(NOT _srcs)
    return()
  endif()
  add_executable(${name} ${_srcs})
  target_link_libraries(${name} PRIVATE ${ARGN} velmora_test_support GTest::gtest GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
endfunction()
