# velk_library(NAME DIR DEPS...): a static library of every .cpp in DIR.
# velk_library_tree(NAME DIR DEPS...): the same, with the .cpp files of DIR's sub-folders too.
# Files of one system are named for it (see below).
# A folder with no sources yet becomes an interface library, so the tree builds at every step.
function(velk_library name dir)
  _velk_library(${name} GLOB ${dir} ${ARGN})
endfunction()

function(velk_library_tree name dir)
  _velk_library(${name} GLOB_RECURSE ${dir} ${ARGN})
endfunction()

function(_velk_library name mode dir)
  file(${mode} _srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
  # Files of one system only: X11*, Jack*, Posix* on Linux, Win32* on Windows.
  if(WIN32)
    list(FILTER _srcs EXCLUDE REGEX "/(X11|Jack|Posix)[^/]*\\.cpp$")
  else()
    list(FILTER _srcs EXCLUDE REGEX "/Win32[^/]*\\.cpp$")
  endif()
  if(_srcs)
    add_library(${name} STATIC ${_srcs})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARGN})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARGN})
  endif()
endfunction()

function(velk_link_deps name)
  get_target_property(_type ${name} TYPE)
  if(_type STREQUAL "INTERFACE_LIBRARY")
    target_link_libraries(${name} INTERFACE ${ARGN})
  else()
    target_link_libraries(${name} PUBLIC ${ARGN})
  endif()
endfunction()
