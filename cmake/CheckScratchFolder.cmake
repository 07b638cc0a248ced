# The temporary folder of a suite program's tests (TMPDIR while they run):
# MODE clear makes it afresh and empty before them; MODE check, after them,
# fails naming each file or folder a test left in it. A folder of its own
# per suite program keeps the files of other programs, which write to the
# system's temporary folder at the same time, out of the count.
#   cmake -DFOLDER=<folder> -DMODE=clear|check -P CheckScratchFolder.cmake
cmake_minimum_required(VERSION 3.25)
if(NOT FOLDER OR NOT MODE)
  message(FATAL_ERROR "give FOLDER and MODE")
endif()

if(MODE STREQUAL "clear")
  file(REMOVE_RECURSE ${FOLDER})
  file(MAKE_DIRECTORY ${FOLDER})
  return()
endif()
if(NOT MODE STREQUAL "check")
  message(FATAL_ERROR "MODE is clear or check, not ${MODE}")
endif()
if(NOT IS_DIRECTORY ${FOLDER})
  message(FATAL_ERROR "${FOLDER} is gone: the tests' temporary folder cannot be checked")
endif()
file(GLOB_RECURSE left LIST_DIRECTORIES true RELATIVE ${FOLDER} ${FOLDER}/*)
if(left)
  list(SORT left)
  list(JOIN left ", " left)
  message("the tests left in ${FOLDER}: ${left}")
  message(FATAL_ERROR "a test left files behind in its temporary folder")
endif()
message("the tests left nothing in ${FOLDER}")
