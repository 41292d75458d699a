# Hardening tests of the shell, included from tests/app/CMakeLists.txt.

# Ten thousand idle steps without the toolkit.
add_executable(long_run_tests long_run_test.cpp)
target_link_libraries(long_run_tests PRIVATE app_shell_recorded GTest::gtest_main)
gtest_discover_tests(long_run_tests)

# The real binary started without a display, without standard input, and
# interrupted by signals at the menu. Needs no X server.
add_test(NAME startup_faults
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/startup_faults_test.py
            $<TARGET_FILE:patchview>)
set_tests_properties(startup_faults PROPERTIES TIMEOUT 120)
