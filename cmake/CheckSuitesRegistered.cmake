# Fails when ctest's own list of a build's tests lacks, for a suite program
# the build made, its listed-tests check (<variant>.<suite>.listed) or any of
# its tests (<variant>.<suite>.<Case>.<test>): a suite without its check
# would lose tests unseen when its list is cut short.
#   cmake -DCTEST=<ctest> -DBUILD=<build tree> -DSUITES=<variant.suite;...> -P CheckSuitesRegistered.cmake
cmake_minimum_required(VERSION 3.25)
if(NOT CTEST OR NOT BUILD OR NOT SUITES)
  message(FATAL_ERROR "give CTEST, BUILD and SUITES")
endif()

execute_process(COMMAND ${CTEST} -N WORKING_DIRECTORY ${BUILD} RESULT_VARIABLE result OUTPUT_VARIABLE output
                ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
  message("ctest could not list the tests of ${BUILD} (${result}): ${errors}")
  message(FATAL_ERROR "the suites' registration cannot be checked")
endif()
# ctest names one test a line: "  Test  #12: plain.math.Case.test".
string(REPLACE ";" "," output "${output}")
string(REGEX MATCHALL "Test +#[0-9]+: [^\n]+" lines "${output}")
list(TRANSFORM lines REPLACE "^Test +#[0-9]+: " "")

set(missing)
foreach(suite ${SUITES})
  if(NOT "${suite}.listed" IN_LIST lines)
    list(APPEND missing "${suite}.listed")
  endif()
  string(REPLACE "." "\\." prefix "${suite}")
  set(tests ${lines})
  list(FILTER tests INCLUDE REGEX "^${prefix}\\.[^.]+\\.")
  if(NOT tests)
    list(APPEND missing "any test of ${suite}")
  endif()
endforeach()
if(missing)
  list(JOIN missing ", " missing)
  message("ctest's list of ${BUILD} lacks ${missing}")
  message(FATAL_ERROR "a suite's listed-tests check or tests are not registered")
endif()
list(LENGTH SUITES count)
message("each of the ${count} suite programs has its listed-tests check and its tests registered")
