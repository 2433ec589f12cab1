# The Windows suites of a cross build: the plug-in-level suites built for the target, run through
# CMAKE_CROSSCOMPILING_EMULATOR (scripts/windows-wine), one ctest test per suite executable (a test program
# under Wine costs a start-up of its own, so its cases are not listed one by one).
# GoogleTest itself is built here from Debian's sources (package googletest).
set(VELK_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources to build for the target")
# The suites of tests/ built for Windows.
set(VELK_WIN_SUITES plugin vsthost base module window midi text clock)

# Cases about Linux only: Debian's test plug-in is a Linux shared object; the data folder comes from a settings
# file on Linux and from the registry on Windows.
set(VELK_WIN_SKIPPED_TESTS "DpfSynth.*:SettingsStore.DataFolderFromEnvironmentOrSettingsFile")

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(${VELK_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

foreach(_name ${VELK_WIN_SUITES})
  file(GLOB _srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/${_name}/*.cpp)
  # Tests of the Linux back ends are named for them, as the sources are.
  list(FILTER _srcs EXCLUDE REGEX "/(X11|Jack|Posix)[^/]*\\.cpp$")
  if(NOT _srcs)
    message(FATAL_ERROR "VELK_WIN_SUITES: tests/${_name} has no sources")
  endif()
  add_executable(test_${_name} ${_srcs})
  target_link_libraries(test_${_name} PRIVATE velk_all velk_vsthost GTest::gtest_main GTest::gmock Threads::Threads)
  target_compile_definitions(test_${_name} PRIVATE
    VELK_PLUGIN_PATH="${VELK_WIN_DRIVE}$<TARGET_FILE:velk_editor>"
    VELK_SOURCE_DIR="${VELK_WIN_DRIVE}${CMAKE_SOURCE_DIR}"
    VELK_BINARY_DIR="${VELK_WIN_DRIVE}${CMAKE_BINARY_DIR}")
  # The POSIX environment calls the suites use, on the C runtime's own.
  target_compile_options(test_${_name} PRIVATE -include ${CMAKE_SOURCE_DIR}/tests/support/Win32Environment.h)
  add_dependencies(test_${_name} velk_editor)
  add_test(NAME windows.${_name} COMMAND test_${_name} --gtest_brief=1 "--gtest_filter=-${VELK_WIN_SKIPPED_TESTS}")
  set_tests_properties(windows.${_name} PROPERTIES TIMEOUT 600 LABELS windows
    ENVIRONMENT "VELK_MIDI_BACKEND=loopback")
  # Suites that open windows share the display one at a time, as on Linux: another's window could cover the one
  # a test clicks on or captures.
  if(_name MATCHES "^(window|vsthost|plugin)$")
    set_tests_properties(windows.${_name} PROPERTIES RESOURCE_LOCK display)
  endif()
endforeach()
