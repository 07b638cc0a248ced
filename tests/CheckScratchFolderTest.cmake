# The temporary-folder check on folders of this script's making: each case
# leaves the files given in the folder, runs the check, and expects it to
# pass or to fail naming what was left.
#   cmake -DCHECK=<cmake/CheckScratchFolder.cmake> -DWORK=<scratch folder> -P CheckScratchFolderTest.cmake
cmake_minimum_required(VERSION 3.25)
if(NOT CHECK OR NOT WORK)
  message(FATAL_ERROR "give CHECK and WORK")
endif()

include(${CMAKE_CURRENT_LIST_DIR}/CheckCases.cmake)
# check_case(<files left> <expected>): <expected> is "passes" or a piece of
# the message the check must fail with. Each case starts from the folder
# the clear mode made of one that held files.
function(check_case left expected)
  file(REMOVE_RECURSE ${WORK})
  file(WRITE ${WORK}/folder/stale.ma "")
  execute_process(COMMAND ${CMAKE_COMMAND} -DFOLDER=${WORK}/folder -DMODE=clear -P ${CHECK})
  foreach(file ${left})
    if(file MATCHES "/$")
      file(MAKE_DIRECTORY ${WORK}/folder/${file})
    else()
      file(WRITE ${WORK}/folder/${file} "")
    endif()
  endforeach()
  execute_process(COMMAND ${CMAKE_COMMAND} -DFOLDER=${WORK}/folder -DMODE=check -P ${CHECK}
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  expect_outcome("left ${left}" "${expected}" "${result}" "${output}")
endfunction()

check_case("" passes)
check_case("scene123.ma" "left in ${WORK}/folder: scene123.ma")
check_case(".hidden;b.zsc" "left in ${WORK}/folder: .hidden, b.zsc")
check_case("pictures/;pictures/a.png" "left in ${WORK}/folder: pictures, pictures/a.png")
check_case("empty/" "left in ${WORK}/folder: empty")
# A folder the tests removed cannot be checked.
file(REMOVE_RECURSE ${WORK})
execute_process(COMMAND ${CMAKE_COMMAND} -DFOLDER=${WORK}/folder -DMODE=check -P ${CHECK}
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
expect_outcome("no folder" "is gone" "${result}" "${output}")

file(REMOVE_RECURSE ${WORK})
finish_cases("temporary-folder check")
