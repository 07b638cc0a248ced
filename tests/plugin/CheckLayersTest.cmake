# The module's layer check on small trees of this script's making: each case
# writes one file holding one include into an empty tree, runs the check on
# it with the module's order, and expects it to pass or to fail naming why.
#   cmake -DCHECK=<src/CheckLayers.cmake> -DWORK=<scratch folder>
#         -DAREAS="draw;meshes;..." -DTOP="pluginMain;..." -P CheckLayersTest.cmake
cmake_minimum_required(VERSION 3.25)
if(NOT CHECK OR NOT WORK OR NOT AREAS OR NOT TOP)
  message(FATAL_ERROR "give CHECK, WORK, AREAS and TOP")
endif()

include(${CMAKE_CURRENT_LIST_DIR}/../CheckCases.cmake)
# check_case(<file under src/> <include line> <expected>): <expected> is
# "passes" or a piece of the message the check must fail with.
function(check_case file line expected)
  file(REMOVE_RECURSE ${WORK})
  file(WRITE ${WORK}/src/${file} "${line}\n")
  execute_process(COMMAND ${CMAKE_COMMAND} -DSRC_DIR=${WORK}/src "-DAREAS=${AREAS}" "-DTOP=${TOP}" -P ${CHECK}
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  expect_outcome("src/${file} with ${line}" "${expected}" "${result}" "${output}")
endfunction()

check_case(simulation/a.cpp [[#include "src/fracture/b.h"]] "includes from fracture/, which lies above simulation/")
check_case(simulation/a.h [[#include "src/fracture/b.h"]] "includes from fracture/, which lies above simulation/")
check_case(simulation/a.cpp [[  #  include "src/fracture/b.h"]] "which lies above simulation/")
check_case(fracture/a.cpp [[#include "src/simulation/b.h"]] passes)
check_case(fracture/a.cpp [[#include "src/fracture/b.h"]] passes)
check_case(fracture/a.cpp [[#include "engine/fracture/FractureBody.h"]] passes)
check_case(fracture/a.cpp [[#include <maya/MPlug.h>]] passes)
check_case(shatter/modifiers/a.cpp [[#include "src/viewport/b.h"]] "includes from viewport/, which lies above shatter/")
check_case(viewport/a.cpp [[#include "src/shatter/modifiers/b.h"]] passes)
check_case(draw/a.cpp [[#include "src/meshes/b.h"]] "includes from meshes/, which lies above draw/")
check_case(meshes/a.cpp [[#include "src/nodeLinks.h"]] passes)
check_case(nodeLinks.cpp [[#include "src/meshes/b.h"]] "includes from meshes/, which lies above the root's node kit")
check_case(nodeLinks.cpp [[#include "src/userInput.h"]] passes)
check_case(draw/a.cpp [[#include "src/pluginMain.h"]] "includes from the module root, which lies above draw/")
check_case(sceneCallbacks.cpp [[#include "src/viewport/b.h"]] passes)
check_case(kit/a.cpp [[#include "src/nodeLinks.h"]] "the folder kit/ has no place in the module's order")
check_case(fracture/a.cpp [[#include "src/kit/b.h"]] "includes from kit/, a folder with no place")
check_case(simulation/a.cpp [[#include "../fracture/b.h"]] "includes a path not written from the source tree's root")
check_case(simulation/a.cpp [[#include "b.h"]] "includes a path not written from the source tree's root")

file(REMOVE_RECURSE ${WORK})
finish_cases("layer check")
