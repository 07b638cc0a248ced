# The listed-tests check on programs of this script's making: each case
# writes a program that answers --gtest_list_tests as given, runs the check
# with a count registered, and expects it to pass or to fail naming why.
#   cmake -DCHECK=<cmake/CheckListedTests.cmake> -DWORK=<scratch folder> -P CheckListedTestsTest.cmake
cmake_minimum_required(VERSION 3.25)
if(NOT CHECK OR NOT WORK)
  message(FATAL_ERROR "give CHECK and WORK")
endif()

include(${CMAKE_CURRENT_LIST_DIR}/CheckCases.cmake)
# check_case(<listing> <exit code> <registered> <expected>): <expected> is
# "passes" or a piece of the message the check must fail with.
function(check_case listing code registered expected)
  file(REMOVE_RECURSE ${WORK})
  file(WRITE ${WORK}/program "#!/bin/sh\nprintf '%s' '${listing}'\nexit ${code}\n")
  file(CHMOD ${WORK}/program PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
  execute_process(COMMAND ${CMAKE_COMMAND} -DPROGRAM=${WORK}/program -DREGISTERED=${registered} -P ${CHECK}
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  expect_outcome("${registered} registered of ${listing}" "${expected}" "${result}" "${output}")
endfunction()

set(listing "Running main()\nA.\n  one\n  two\nB/P.  # TypeParam = int\n  three/0  # GetParam() = (1; 2)\n")
check_case("${listing}" 0 3 passes)
check_case("${listing}" 0 2 "holds 3 tests, but the list ctest read as it started counts 2")
check_case("${listing}" 0 0 "holds 3 tests, but the list ctest read as it started counts 0")
check_case("${listing}" 0 4 "holds 3 tests, but the list ctest read as it started counts 4")
check_case("A.\n" 0 0 passes)
check_case("A.\n  one\n" 1 1 "could not list its tests (1)")

file(REMOVE_RECURSE ${WORK})
finish_cases("listed-tests check")
