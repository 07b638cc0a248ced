# The judging of the cases of a check script's test (included by the tests
# of the layer and member-name checks): each case runs the check on a small
# tree and hands its exit code and output here.

# expect_outcome(<what> <expected> <result> <output>): <expected> is "passes"
# or a piece of the message the check must fail with; a case that went
# otherwise is told, naming <what>, and counted.
function(expect_outcome what expected result output)
  if(expected STREQUAL "passes")
    if(NOT result EQUAL 0)
      message("${what}: should pass, failed with: ${output}")
      set_property(GLOBAL APPEND PROPERTY check_cases_wrong x)
    endif()
    return()
  endif()
  string(FIND "${output}" "${expected}" at)
  if(result EQUAL 0 OR at EQUAL -1)
    message("${what}: should fail with \"${expected}\", gave (${result}): ${output}")
    set_property(GLOBAL APPEND PROPERTY check_cases_wrong x)
  endif()
endfunction()

# finish_cases(<check>): fails the script when a case went wrong.
function(finish_cases check)
  get_property(wrong GLOBAL PROPERTY check_cases_wrong)
  list(LENGTH wrong failures)
  if(failures GREATER 0)
    message(FATAL_ERROR "${failures} case(s) of the ${check} went wrong")
  endif()
  message("${check}: every case as expected")
endfunction()
