# pelmix_test(<name> SOURCES ... [LIBS ...] [SERIAL] [TIMEOUT s])
# One GoogleTest executable, registered as one CTest test named after the tree
# ("native.", "asan.", "win64." or "win32." in front), so all trees can share one summary.
# In a Windows tree CTest runs it through the Wine harness of that architecture (the emulator).
#
# SERIAL: the test drives windows, keys or timing and must have its architecture's display
# and Wine to itself. Each Windows architecture has a display of its own (the test command
# starts one Xvfb per architecture), described to CTest as a resource with two slots
# (build/resources.json, written by scripts/build.sh): a SERIAL test takes both, every other
# Windows test one. So the two architectures' suites run side by side, and within one
# architecture a SERIAL test runs alone, as before.
find_package(GTest REQUIRED)
# The interpreter that scripts/setup.sh gives pytest and pyftpdlib (Debian's), before any
# other that comes first on the PATH; -DPython3_EXECUTABLE=... names another.
if(NOT DEFINED Python3_ROOT_DIR)
  set(Python3_ROOT_DIR /usr)
endif()
find_package(Python3 REQUIRED COMPONENTS Interpreter)

function(pelmix_claim_display test serial)
  if(NOT WIN32)
    if(serial)
      set_tests_properties(${test} PROPERTIES RUN_SERIAL TRUE)
    endif()
    return()
  endif()
  if(serial)
    set_tests_properties(${test} PROPERTIES RESOURCE_GROUPS "display_${PELMIX_WIN_ARCH}:2")
  else()
    set_tests_properties(${test} PROPERTIES RESOURCE_GROUPS "display_${PELMIX_WIN_ARCH}:1")
  endif()
endfunction()

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
  pelmix_claim_display(${PELMIX_TEST_PREFIX}${name} "${T_SERIAL}")
endfunction()

# pelmix_pytest(<name> <file.py> [SERIAL]): a Python test of the real pelmix.exe under Wine.
function(pelmix_pytest name file)
  cmake_parse_arguments(T "SERIAL" "TIMEOUT" "" ${ARGN})
  add_test(NAME ${PELMIX_TEST_PREFIX}${name}
           # A temporary folder of its own: pytest's shared one under /tmp keeps only the
           # last three runs and deletes older ones, even while another run still uses them.
           COMMAND ${CMAKE_SOURCE_DIR}/scripts/with-harness.sh ${PELMIX_WIN_ARCH} ${Python3_EXECUTABLE} -m pytest -q -p no:cacheprovider
                   --basetemp=${CMAKE_CURRENT_BINARY_DIR}/pytest-${name}
                   ${CMAKE_CURRENT_SOURCE_DIR}/${file}
           WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  set_tests_properties(${PELMIX_TEST_PREFIX}${name} PROPERTIES TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "PELMIX_EXE=$<TARGET_FILE:pelmix>;PELMIX_PROBE=$<TARGET_FILE:probe>;PELMIX_SOURCE_DIR=${CMAKE_SOURCE_DIR};PELMIX_BINARY_DIR=${CMAKE_BINARY_DIR};PYTHONPATH=${CMAKE_SOURCE_DIR}/tests/e2e;PYTHONDONTWRITEBYTECODE=1")
  pelmix_claim_display(${PELMIX_TEST_PREFIX}${name} "${T_SERIAL}")
endfunction()
