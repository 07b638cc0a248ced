# The suites' registration check on lists of this script's making: each case
# writes a program that answers as ctest -N would, runs the check with the
# suites given, and expects it to pass or to fail naming what is missing.
# SUITES names the build's own suite programs (<variant>.<suite>;...).
#   cmake -DCHECK=<cmake/CheckSuitesRegistered.cmake> -DWORK=<scratch folder> "-DSUITES=<suites>"
#         -P CheckSuitesRegisteredTest.cmake
cmake_minimum_required(VERSION 3.25)
if(NOT CHECK OR NOT WORK OR NOT SUITES)
  message(FATAL_ERROR "give CHECK, WORK and SUITES")
endif()

include(${CMAKE_CURRENT_LIST_DIR}/CheckCases.cmake)
# check_case(<listed tests> <exit code> <suites> <expected>): <expected> is
# "passes" or a piece of the message the check must fail with.
function(check_case tests code suites expected)
  file(REMOVE_RECURSE ${WORK})
  set(listing "Test project ${WORK}\n")
  set(number 0)
  foreach(test ${tests})
    math(EXPR number "${number} + 1")
    string(APPEND listing "  Test  #${number}: ${test}\n")
  endforeach()
  string(APPEND listing "\nTotal Tests: ${number}\n")
  file(WRITE ${WORK}/ctest "#!/bin/sh\nprintf '%s' '${listing}'\nexit ${code}\n")
  file(CHMOD ${WORK}/ctest PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
  execute_process(COMMAND ${CMAKE_COMMAND} -DCTEST=${WORK}/ctest -DBUILD=${WORK} "-DSUITES=${suites}" -P ${CHECK}
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  expect_outcome("${suites} in ${tests}" "${expected}" "${result}" "${output}")
endfunction()

set(math plain.math.A.one plain.math.B/P.two/0 plain.math.listed plain.math.whole)
set(engine asan.engine.A.one asan.engine.listed)
set(suites "plain.math;asan.engine")
check_case("${math};${engine};format" 0 "${suites}" passes)
check_case("${math};asan.engine.A.one" 0 "${suites}" "lacks asan.engine.listed")
check_case("plain.math.listed;plain.math.whole;${engine}" 0 "${suites}" "lacks any test of plain.math")
# A suite whose name begins another's has checks and tests of its own.
check_case("${math};plain.math_threads.A.one" 0 "plain.math_threads" "lacks plain.math_threads.listed")
check_case("plain.math_threads.listed;${math}" 0 "plain.math_threads" "lacks any test of plain.math_threads")
check_case("${math}" 1 "plain.math" "could not list the tests")
# Each suite program of the build, of every variant: the check fails when
# that one program's listed-tests check or tests are missing from a list
# that holds every other's.
set(all format)
foreach(suite ${SUITES})
  list(APPEND all ${suite}.listed ${suite}.Case.test)
endforeach()
check_case("${all}" 0 "${SUITES}" passes)
foreach(suite ${SUITES})
  foreach(missing listed Case.test)
    set(without ${all})
    list(REMOVE_ITEM without ${suite}.${missing})
    if(missing STREQUAL "listed")
      check_case("${without}" 0 "${SUITES}" "lacks ${suite}.listed")
    else()
      check_case("${without}" 0 "${SUITES}" "lacks any test of ${suite}")
    endif()
  endforeach()
endforeach()

file(REMOVE_RECURSE ${WORK})
finish_cases("suites' registration check")
