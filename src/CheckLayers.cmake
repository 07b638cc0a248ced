# Fails when a file of the module includes a header of a part of the module
# that lies above it.
#   cmake -DSRC_DIR=<src/> -DAREAS="draw;meshes;..." -DTOP="pluginMain;..." -P CheckLayers.cmake
# AREAS lists the module's folders bottom to top; a file in a folder's
# subfolder is that folder's. The root's files are the node kit, below every
# folder, except those TOP names by their base name (the entry point and the
# callbacks), which lie above every folder. A file in a folder that AREAS
# does not name has no place in the order and fails; so does a quoted include
# that is not written from the source tree's root ("src/...", "engine/..."),
# since a relative one would slip past the check.
cmake_minimum_required(VERSION 3.25)
if(NOT SRC_DIR OR NOT AREAS OR NOT TOP)
  message(FATAL_ERROR "give SRC_DIR, AREAS and TOP")
endif()

set(kitRank 0)
list(LENGTH AREAS areaCount)
math(EXPR topRank "${areaCount} + 1")
set(rootedFolders src engine geometry math platform)

# rank_of(<out-rank> <out-place> <path under src/>): the rank of the part of
# the module that holds the path, and that part's name; rank -1 when no part
# does.
function(rank_of outRank outPlace path)
  if(path MATCHES "/")
    string(REGEX REPLACE "/.*" "" folder "${path}")
    list(FIND AREAS ${folder} index)
    if(index EQUAL -1)
      set(${outRank} -1 PARENT_SCOPE)
    else()
      math(EXPR rank "${index} + 1")
      set(${outRank} ${rank} PARENT_SCOPE)
    endif()
    set(${outPlace} "${folder}/" PARENT_SCOPE)
    return()
  endif()
  get_filename_component(base "${path}" NAME_WE)
  if(base IN_LIST TOP)
    set(${outRank} ${topRank} PARENT_SCOPE)
    set(${outPlace} "the module root" PARENT_SCOPE)
  else()
    set(${outRank} ${kitRank} PARENT_SCOPE)
    set(${outPlace} "the root's node kit" PARENT_SCOPE)
  endif()
endfunction()

set(failures 0)
file(GLOB_RECURSE files RELATIVE ${SRC_DIR} ${SRC_DIR}/*.h ${SRC_DIR}/*.cpp)
list(SORT files)
foreach(file ${files})
  rank_of(rank place "${file}")
  if(rank EQUAL -1)
    message("src/${file}: the folder ${place} has no place in the module's order")
    math(EXPR failures "${failures} + 1")
    continue()
  endif()
  file(STRINGS ${SRC_DIR}/${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(line ${lines})
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*" "\\1" included "${line}")
    string(REGEX REPLACE "/.*" "" first "${included}")
    if(NOT included MATCHES "/" OR NOT first IN_LIST rootedFolders)
      message("src/${file}: includes a path not written from the source tree's root: ${line}")
      math(EXPR failures "${failures} + 1")
      continue()
    endif()
    if(NOT first STREQUAL "src")
      continue()
    endif()
    string(REGEX REPLACE "^src/" "" includedPath "${included}")
    rank_of(includedRank includedPlace "${includedPath}")
    if(includedRank EQUAL -1)
      message("src/${file}: includes from ${includedPlace}, a folder with no place in the module's order: ${line}")
      math(EXPR failures "${failures} + 1")
    elseif(includedRank GREATER rank)
      message("src/${file}: includes from ${includedPlace}, which lies above ${place}: ${line}")
      math(EXPR failures "${failures} + 1")
    endif()
  endforeach()
endforeach()

if(failures GREATER 0)
  message(FATAL_ERROR "${failures} include(s) against the module's layers")
endif()
message("module layers: every include goes down")
