# The member-name check on small trees of this script's making: each case
# writes one file into an empty tree, runs the check on the folders src and
# engine, and expects it to pass or to fail naming the name it found.
#   cmake -DCHECK=<cmake/CheckMemberNames.cmake> -DWORK=<scratch folder> -P CheckMemberNamesTest.cmake
cmake_minimum_required(VERSION 3.25)
if(NOT CHECK OR NOT WORK)
  message(FATAL_ERROR "give CHECK and WORK")
endif()

include(${CMAKE_CURRENT_LIST_DIR}/CheckCases.cmake)
# check_case(<file> <text> <expected>): <expected> is "passes" or a piece of
# the message the check must fail with.
function(check_case file text expected)
  file(REMOVE_RECURSE ${WORK})
  file(WRITE ${WORK}/${file} "${text}\n")
  execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${WORK} "-DFOLDERS=src;engine" -P ${CHECK}
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  expect_outcome("${file} with ${text}" "${expected}" "${result}" "${output}")
endfunction()

set(found "names with the m_ prefix:")
check_case(src/a.h [[  int m_count = 0;]] "src/a.h: ${found} m_count")
check_case(engine/bodies/a.cpp [[x.m_count = 1; y->m_size = 2;]] "${found} m_count, m_size")
check_case(src/a.cpp [[f(a,m_first);b;m_second;]] "${found} m_first, m_second")
check_case(src/a.cpp [[int count = 0;  // m_count was the old name]] passes)
check_case(src/a.cpp [[/// entry (k, l) = n_k . ((s/m_B) I)]] passes)
check_case(src/a.cpp "/* m_count\n   m_size */ int count;" passes)
check_case(src/a.cpp "/** m_count **/ int* m_size;" "${found} m_size")
check_case(src/a.cpp [[const char* s = "m_count";]] passes)
check_case(src/a.cpp [[const char* s = "a \"m_count\" \\"; m_size = 1;]] "${found} m_size")
check_case(src/a.cpp [[char q = '"'; int m_size; const char* s = "x";]] "${found} m_size")
check_case(src/a.cpp [[char q = '\''; const char* s = "m_count";]] passes)
check_case(src/a.cpp "// a lone quote \" here\nint m_size;" "${found} m_size")
check_case(src/a.cpp "const char* s = R\"(uniform m_count;\n  f(x) \"m\" ))\";\nint m_size;" "${found} m_size")
check_case(src/a.cpp "const char* s = R\"(uniform (m_count);\n)\";" passes)
check_case(src/a.cpp [[m_(data), stride_(4), __m128d v = _mm_set1_pd(1.0);]] passes)
check_case(host/a.cpp [[int m_count;]] passes)
check_case(src/a.txt [[int m_count;]] passes)

file(REMOVE_RECURSE ${WORK})
finish_cases("member-name check")
