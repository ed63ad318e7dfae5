# pelmix_test(<name> SOURCES ... [LIBS ...] [SERIAL] [TIMEOUT s])
# One GoogleTest executable, registered as one CTest test named after the tree
# ("native.", "asan." or "win32." in front), so the three trees can share one summary.
# In the Win32 tree CTest runs it through the Wine harness (the emulator).
find_package(GTest REQUIRED)

function(pelmix_test name)
  cmake_parse_arguments(T "SERIAL" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  add_test(NAME ${PELMIX_TEST_PREFIX}${name} COMMAND ${name} --gtest_brief=1
           WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  # Judged by GoogleTest's own summary, not the exit code alone: a Wine process that is
  # torn down mid-run can end with 0, which must not count as a pass.
  set_tests_properties(${PELMIX_TEST_PREFIX}${name} PROPERTIES TIMEOUT ${T_TIMEOUT}
    PASS_REGULAR_EXPRESSION "\\[  PASSED  \\]" FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\]")
  if(T_SERIAL)
    set_tests_properties(${PELMIX_TEST_PREFIX}${name} PROPERTIES RUN_SERIAL TRUE)
  endif()
endfunction()

# pelmix_pytest(<name> <file.py> [SERIAL]): a Python test of the real pelmix.exe under Wine.
function(pelmix_pytest name file)
  cmake_parse_arguments(T "SERIAL" "TIMEOUT" "" ${ARGN})
  add_test(NAME ${PELMIX_TEST_PREFIX}${name}
           # A temporary folder of its own: pytest's shared one under /tmp keeps only the
           # last three runs and deletes older ones, even while another run still uses them.
           COMMAND ${CMAKE_SOURCE_DIR}/scripts/with-harness.sh /usr/bin/python3 -m pytest -q -p no:cacheprovider
                   --basetemp=${CMAKE_CURRENT_BINARY_DIR}/pytest-${name}
                   ${CMAKE_CURRENT_SOURCE_DIR}/${file}
           WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  set_tests_properties(${PELMIX_TEST_PREFIX}${name} PROPERTIES TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "PELMIX_EXE=$<TARGET_FILE:pelmix>;PELMIX_PROBE=$<TARGET_FILE:probe>;PELMIX_SOURCE_DIR=${CMAKE_SOURCE_DIR};PELMIX_BINARY_DIR=${CMAKE_BINARY_DIR};PYTHONPATH=${CMAKE_SOURCE_DIR}/tests/e2e;PYTHONDONTWRITEBYTECODE=1")
  if(T_SERIAL)
    set_tests_properties(${PELMIX_TEST_PREFIX}${name} PROPERTIES RUN_SERIAL TRUE)
  endif()
endfunction()
