# tests/fuzz/*.cpp -> one libFuzzer target each (clang only).
file(GLOB _fuzzers CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/fuzz/*.cpp)
foreach(_src ${_fuzzers})
  get_filename_component(_name ${_src} NAME_WE)
  add_executable(${_name} ${_src})
  target_link_libraries(${_name} PRIVATE velk_all)
  target_link_options(${_name} PRIVATE -fsanitize=fuzzer)
endforeach()
