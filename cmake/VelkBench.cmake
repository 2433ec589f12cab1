# bench/*.cpp -> one Google Benchmark executable each.
find_package(benchmark REQUIRED)
file(GLOB _benches CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*.cpp)
foreach(_src ${_benches})
  get_filename_component(_name ${_src} NAME_WE)
  add_executable(${_name} ${_src})
  target_link_libraries(${_name} PRIVATE velk_all benchmark::benchmark_main)
  if(TARGET velk_vsthost)
    target_link_libraries(${_name} PRIVATE velk_vsthost)
  endif()
  target_compile_definitions(${_name} PRIVATE
    VELK_PLUGIN_PATH="$<TARGET_FILE:velk_editor>" VELK_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  add_dependencies(${_name} velk_editor)
endforeach()
