# tests/<name>/*.cpp -> one GoogleTest executable test_<name>.
if(CMAKE_CROSSCOMPILING)
  include(${CMAKE_CURRENT_LIST_DIR}/VelkWindowsTests.cmake)
  return()
endif()
find_package(GTest REQUIRED)
include(GoogleTest)
file(GLOB _suites LIST_DIRECTORIES true CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/*)
foreach(_dir ${_suites})
  get_filename_component(_name ${_dir} NAME)
  if(NOT IS_DIRECTORY ${_dir} OR _name STREQUAL "fuzz")
    continue()
  endif()
  file(GLOB _srcs CONFIGURE_DEPENDS ${_dir}/*.cpp)
  # Tests of one system's back ends are named for it, as the sources are (cmake/VelkLibrary.cmake).
  if(WIN32)
    list(FILTER _srcs EXCLUDE REGEX "/(X11|Jack|Posix)[^/]*\\.cpp$")
  else()
    list(FILTER _srcs EXCLUDE REGEX "/Win32[^/]*\\.cpp$")
  endif()
  if(NOT _srcs)
    continue()
  endif()
  add_executable(test_${_name} ${_srcs})
  target_link_libraries(test_${_name} PRIVATE velk_all GTest::gtest_main GTest::gmock Threads::Threads)
  if(TARGET velk_vsthost)
    target_link_libraries(test_${_name} PRIVATE velk_vsthost)
  endif()
  if(TARGET velk_simsynth)
    target_link_libraries(test_${_name} PRIVATE velk_simsynth)
    target_compile_definitions(test_${_name} PRIVATE VELK_SIMSYNTH_PATH="$<TARGET_FILE:velk-simsynth>")
    add_dependencies(test_${_name} velk-simsynth)
  endif()
  # The skin suite draws the images itself to compare with those of the build.
  if(_name STREQUAL "resources" AND TARGET velk_skingen)
    target_link_libraries(test_${_name} PRIVATE velk_skingen)
    add_dependencies(test_${_name} velk_skin_images)
  endif()
  target_compile_definitions(test_${_name} PRIVATE
    VELK_PLUGIN_PATH="$<TARGET_FILE:velk_editor>"
    VELK_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    VELK_BINARY_DIR="${CMAKE_BINARY_DIR}")
  add_dependencies(test_${_name} velk_editor)
  # Tests that share the JACK server or the X display run one at a time: on the display, another
  # test's window or synthetic input could cover or move what a test clicks on or captures. x11,
  # vsthost (whose command tests open editors) and plugin open windows; e2e uses both services. One lock for
  # both: the test discovery passes a property's value as a list, so a test cannot hold two locks.
  set(_props TIMEOUT 300 LABELS ${_name})
  if(_name MATCHES "^(jack|e2e|x11|vsthost|plugin)$")
    list(APPEND _props RESOURCE_LOCK desktop)
  endif()
  # Only the suites that test system MIDI reach the JACK server; every other plug-in and editor
  # they build gets the in-process loopback as its default back end.
  if(NOT _name MATCHES "^(jack|e2e)$")
    list(APPEND _props ENVIRONMENT VELK_MIDI_BACKEND=loopback)
  endif()
  gtest_discover_tests(test_${_name} DISCOVERY_TIMEOUT 60 PROPERTIES ${_props})
endforeach()

# Shell tests of the scripts: tests/scripts/*.sh, each one ctest test labelled "scripts".
file(GLOB _script_tests CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/scripts/*.sh)
foreach(_script ${_script_tests})
  get_filename_component(_name ${_script} NAME_WE)
  add_test(NAME scripts.${_name} COMMAND bash ${_script})
  # A script test that needs what this tree builds finds it through VELK_BINARY_DIR; 77 says it skipped.
  set_tests_properties(scripts.${_name} PROPERTIES TIMEOUT 60 LABELS scripts SKIP_RETURN_CODE 77
    ENVIRONMENT VELK_BINARY_DIR=${CMAKE_BINARY_DIR})
  # The scripts that run JACK clients or kill a JACK server take the lock of the suites above: a server
  # killed on purpose, or our clients coming and going, must not meet another test's link.
  if(_name MATCHES "^(run-simulated|run-simulator-stuck|with-jack-registry)$")
    set_tests_properties(scripts.${_name} PROPERTIES RESOURCE_LOCK desktop)
  endif()
endforeach()
# The document tests also check the layout model and the generator on hand-made sources.
if(TARGET test_resources AND TARGET velk_docgen_lib)
  target_link_libraries(test_resources PRIVATE velk_docgen_lib)
  add_dependencies(test_resources velk_documents)
endif()
