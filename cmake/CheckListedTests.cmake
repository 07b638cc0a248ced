# Fails when a GoogleTest program holds another number of tests than ctest
# registered for it from the program's list as the run started, or when the
# program cannot list them: a list ctest read cut short (written by another
# run at the same time, or left half written) drops tests, and the run would
# pass without them.
#   cmake -DPROGRAM=<test program> -DREGISTERED=<tests registered> -P CheckListedTests.cmake
cmake_minimum_required(VERSION 3.25)
if(NOT PROGRAM OR NOT DEFINED REGISTERED)
  message(FATAL_ERROR "give PROGRAM and REGISTERED")
endif()

execute_process(COMMAND ${PROGRAM} --gtest_list_tests RESULT_VARIABLE result OUTPUT_VARIABLE output
                ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
  message("${PROGRAM} could not list its tests (${result}): ${errors}")
  message(FATAL_ERROR "a suite's tests are not all registered")
endif()
# A test is a line that starts with two spaces, under the line of its suite;
# a parameter shown after a test's name may hold a semicolon.
string(REPLACE ";" "," output "${output}")
string(REGEX MATCHALL "\n  [^\n]+" tests "\n${output}")
list(LENGTH tests held)
if(NOT held EQUAL REGISTERED)
  message("${PROGRAM} holds ${held} tests, but the list ctest read as it started counts ${REGISTERED}"
          " (a list cut short before its end counts 0)")
  message(FATAL_ERROR "a suite's tests are not all registered")
endif()
message("${PROGRAM}: all ${held} tests registered")
