# Fails when a file of one host area includes a header of an area above it,
# or when a public header includes an implementation header.
#   cmake -DHOST_DIR=<host/> -DAREAS="mathtypes;core;..." -P CheckLayers.cmake
# AREAS lists the areas bottom to top.
if(NOT HOST_DIR OR NOT AREAS)
  message(FATAL_ERROR "give HOST_DIR and AREAS")
endif()

set(failures 0)
function(check_file file rank)
  file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<][a-z]+/")
  foreach(line ${lines})
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[\"<]([a-z]+)/.*" "\\1" included "${line}")
    list(FIND AREAS ${included} includedRank)
    if(includedRank GREATER rank)
      file(RELATIVE_PATH shown ${HOST_DIR} ${file})
      message("${shown}: includes from the area '${included}', which lies above it: ${line}")
      math(EXPR count "${failures} + 1")
      set(failures ${count} PARENT_SCOPE)
    endif()
  endforeach()
endfunction()

list(LENGTH AREAS areaCount)
math(EXPR lastRank "${areaCount} - 1")
foreach(rank RANGE ${lastRank})
  list(GET AREAS ${rank} area)
  file(GLOB files ${HOST_DIR}/src/${area}/*.h ${HOST_DIR}/src/${area}/*.cpp)
  foreach(file ${files})
    check_file(${file} ${rank})
  endforeach()
endforeach()
# The API's headers see no area at all.
file(GLOB_RECURSE files ${HOST_DIR}/include/*.h)
foreach(file ${files})
  check_file(${file} -1)
endforeach()

if(failures GREATER 0)
  message(FATAL_ERROR "${failures} include(s) against the host's layers")
endif()
message("host layers: every include goes down")
