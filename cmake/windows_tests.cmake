# Tests of the Windows build, run under Wine through scripts/wine.sh (ctest
# --preset windows). GoogleTest is built here from Debian's sources for
# Windows. Three test programs:
#   wsphere_shared_tests   the unit tests that touch no system (number reading
#                          and rendering, layouts, the analysis, the sort),
#                          built for Windows: the same rounding on both sides;
#   wsphere_windows_tests  the Windows platform layer in-process, and
#                          wsphere.exe started as a Windows process, whose full
#                          32-bit exit code is read with GetExitCodeProcess;
#   wsphere_event_probe    the program with a console event delivered to its
#                          handler, started by the latter.
set(WSPHERE_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources, built for Windows")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${WSPHERE_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

# Paths that the Windows tests open: under Wine, drive Z: is the root of the
# host's file system.
if(CMAKE_HOST_UNIX)
  set(WSPHERE_HOST_DRIVE "Z:")
else()
  set(WSPHERE_HOST_DRIVE "")
endif()

enable_testing()
set(WSPHERE_WINE ${CMAKE_CURRENT_SOURCE_DIR}/scripts/wine.sh)

add_executable(wsphere_shared_tests
  tests/analysis_test.cpp tests/fields_exact_test.cpp tests/fields_test.cpp
  tests/free_form_reader_test.cpp tests/layout_test.cpp tests/number_parse_test.cpp
  tests/sort_test.cpp tests/sphere_filter_test.cpp)
target_link_libraries(wsphere_shared_tests PRIVATE wsphere_core GTest::gtest GTest::gtest_main)
target_compile_definitions(wsphere_shared_tests PRIVATE
  WSPHERE_TEST_DATA="${WSPHERE_HOST_DRIVE}${CMAKE_CURRENT_SOURCE_DIR}/tests/data"
  WSPHERE_EXAMPLES="${WSPHERE_HOST_DRIVE}${CMAKE_CURRENT_SOURCE_DIR}/examples")
add_test(NAME windows_shared_units COMMAND ${WSPHERE_WINE} $<TARGET_FILE:wsphere_shared_tests>)

add_executable(wsphere_event_probe tests/windows/event_probe.cpp)
target_link_libraries(wsphere_event_probe PRIVATE wsphere_core)

add_executable(wsphere_windows_tests
  tests/windows/windows_support.cpp tests/windows/platform_test.cpp tests/windows/process_test.cpp)
target_link_libraries(wsphere_windows_tests PRIVATE wsphere_core GTest::gtest GTest::gtest_main)
target_compile_definitions(wsphere_windows_tests PRIVATE
  WSPHERE_TEST_DATA="${WSPHERE_HOST_DRIVE}${CMAKE_CURRENT_SOURCE_DIR}/tests/data"
  WSPHERE_EXAMPLES="${WSPHERE_HOST_DRIVE}${CMAKE_CURRENT_SOURCE_DIR}/examples"
  WSPHERE_EXE="${WSPHERE_HOST_DRIVE}$<TARGET_FILE:wsphere>"
  WSPHERE_EVENT_PROBE_EXE="${WSPHERE_HOST_DRIVE}$<TARGET_FILE:wsphere_event_probe>")
add_dependencies(wsphere_windows_tests wsphere wsphere_event_probe)
if(TARGET wsphere-input)
  target_compile_definitions(wsphere_windows_tests PRIVATE
    WSPHERE_INPUT_EXE="${WSPHERE_HOST_DRIVE}$<TARGET_FILE:wsphere-input>")
  add_dependencies(wsphere_windows_tests wsphere-input)
endif()
# The read-only attribute is a permission bit under Wine, which root passes:
# run by root, the tests run as an unprivileged user.
add_test(NAME windows_platform_and_process
         COMMAND ${WSPHERE_WINE} --unprivileged $<TARGET_FILE:wsphere_windows_tests>)
set_tests_properties(windows_shared_units windows_platform_and_process PROPERTIES TIMEOUT 600)

# control-C as Wine delivers it: SIGINT to the running program.
add_test(NAME windows_control_c
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/tests/windows/control_c_test.sh ${WSPHERE_WINE} $<TARGET_FILE:wsphere>)
set_tests_properties(windows_control_c PROPERTIES TIMEOUT 120)
