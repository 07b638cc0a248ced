# Build variants. Every library and test suite can be built plainly and with
# sanitizers in the same build tree, so that one ctest run covers them all:
#   plain  the optimised build
#   asan   AddressSanitizer (with LeakSanitizer) and UndefinedBehaviorSanitizer
#   tsan   ThreadSanitizer, for the suites that run threads
if(ZOV_SANITIZER_VARIANTS)
  set(ZOV_VARIANTS plain asan tsan)
else()
  set(ZOV_VARIANTS plain)
endif()

# The target-name suffix of a variant: "" for plain, "_asan", "_tsan".
function(zov_variant_suffix variant out)
  if(variant STREQUAL "plain")
    set(${out} "" PARENT_SCOPE)
  else()
    set(${out} "_${variant}" PARENT_SCOPE)
  endif()
endfunction()

# The folder of a variant's programs and loadable modules: build/bin for the
# plain variant, build/bin-asan for the AddressSanitizer one. The command-line
# host, the zov module and the example modules of one variant sit together
# under the same file names, so a scene loads "zov" from whichever folder its
# host was given.
function(zov_variant_bin_dir variant out)
  if(variant STREQUAL "plain")
    set(${out} ${CMAKE_BINARY_DIR}/bin PARENT_SCOPE)
  else()
    set(${out} ${CMAKE_BINARY_DIR}/bin-${variant} PARENT_SCOPE)
  endif()
endfunction()

# Compile and link options of a variant, applied to one target.
function(zov_apply_variant target variant)
  if(variant STREQUAL "asan")
    set(flags -O1 -g1 -UNDEBUG -fno-omit-frame-pointer
              -fsanitize=address,undefined -fno-sanitize-recover=undefined)
  elseif(variant STREQUAL "tsan")
    set(flags -O1 -g1 -UNDEBUG -fno-omit-frame-pointer -fsanitize=thread)
  else()
    return()
  endif()
  target_compile_options(${target} PRIVATE ${flags})
  target_link_options(${target} PUBLIC ${flags})
endfunction()

# zov_scratch_folder(<name> <labels> <folder-variable>): a temporary folder
# of its own, build/scratch/<name>, for tests that name it as TMPDIR and
# require the fixture <name>.scratch. The test <name>.scratch_cleared makes it
# empty before them; <name>.left_no_files fails after them, naming what they
# left, when a test did not remove every file it wrote, also where it failed.
function(zov_scratch_folder name labels folderVariable)
  set(folder ${CMAKE_BINARY_DIR}/scratch/${name})
  foreach(mode clear check)
    if(mode STREQUAL "clear")
      set(test ${name}.scratch_cleared)
      set(role FIXTURES_SETUP)
    else()
      set(test ${name}.left_no_files)
      set(role FIXTURES_CLEANUP)
    endif()
    add_test(NAME ${test} COMMAND ${CMAKE_COMMAND} -DFOLDER=${folder} -DMODE=${mode}
                                  -P ${PROJECT_SOURCE_DIR}/cmake/CheckScratchFolder.cmake)
    set_tests_properties(${test} PROPERTIES ${role} ${name}.scratch LABELS "${labels}")
  endforeach()
  set(${folderVariable} ${folder} PARENT_SCOPE)
endfunction()

# zov_add_test_suite(<name> [FOLDER <folder>] [SUBFOLDERS <subfolders...>]
#                    ROOT <include-root> VARIANTS <variants...> LIBS <libs...>
#                    [EXTRA_LIBS <libs...>])
# One GoogleTest executable per variant from tests/<folder>/*.cpp (<folder>
# defaults to <name>) and tests/<folder>/<subfolder>/*.cpp of each subfolder
# (a suite whose code has subfolders mirrors them). The suite sees the include root of the layer it tests
# and tests/ (for tests/support). LIBS are taken in the suite's variant
# (zov_math becomes zov_math_asan). Test names are prefixed with the variant
# and the name ("asan.math.…"), and each test carries its variant as label.
# Each program's tests write their files to a temporary folder of its own,
# which must be empty after them (zov_scratch_folder).
function(zov_add_test_suite name)
  cmake_parse_arguments(ARG "" "FOLDER;ROOT" "SUBFOLDERS;VARIANTS;LIBS;EXTRA_LIBS" ${ARGN})
  if(NOT ARG_FOLDER)
    set(ARG_FOLDER ${name})
  endif()
  file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/${ARG_FOLDER}/*.cpp)
  foreach(subfolder ${ARG_SUBFOLDERS})
    file(GLOB subfolderSources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/${ARG_FOLDER}/${subfolder}/*.cpp)
    list(APPEND sources ${subfolderSources})
  endforeach()
  foreach(variant ${ARG_VARIANTS})
    if(NOT variant IN_LIST ZOV_VARIANTS)
      continue()
    endif()
    zov_variant_suffix(${variant} suffix)
    set(target test_${name}${suffix})
    add_executable(${target} ${sources})
    # The suite programs of the build, whose registration a test checks.
    set_property(GLOBAL APPEND PROPERTY ZOV_TEST_SUITES ${variant}.${name})
    target_include_directories(${target} PRIVATE ${ARG_ROOT} ${PROJECT_SOURCE_DIR}/tests)
    set(libs)
    foreach(lib ${ARG_LIBS})
      list(APPEND libs ${lib}${suffix})
    endforeach()
    target_link_libraries(${target} PRIVATE ${libs} ${ARG_EXTRA_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
    zov_apply_variant(${target} ${variant})
    # GoogleTest's headers are the bulk of every test file's parse.
    target_precompile_headers(${target} PRIVATE <gtest/gtest.h> <gmock/gmock.h>)
    # Test code itself needs little optimisation: keeping it low keeps the
    # build of the many test variants short.
    if(variant STREQUAL "plain")
      target_compile_options(${target} PRIVATE -O1)
    else()
      target_compile_options(${target} PRIVATE -O0)
    endif()
    # Mesa's driver keeps dynamic thread-local storage whose records
    # LeakSanitizer's exit scan can misread and crash on: the sanitizer does
    # not follow those blocks.
    set(environment)
    if(variant STREQUAL "asan")
      set(environment ENVIRONMENT "ASAN_OPTIONS=intercept_tls_get_addr=0")
    endif()
    zov_scratch_folder(${variant}.${name} ${variant} scratch)
    set(scratchUse FIXTURES_REQUIRED ${variant}.${name}.scratch ENVIRONMENT_MODIFICATION TMPDIR=set:${scratch})
    # ctest registers the tests from the program's list as it starts; a
    # loaded two-core machine can take seconds to start a sanitizer build.
    gtest_discover_tests(${target}
      TEST_PREFIX "${variant}.${name}."
      DISCOVERY_MODE PRE_TEST
      DISCOVERY_TIMEOUT 120
      TEST_LIST ${target}_registered
      PROPERTIES LABELS ${variant} ${environment} ${scratchUse})
    # A list that fails stops ctest; one cut short would drop tests without a
    # word, so a test of each suite compares the count registered, taken as
    # ctest reads the list, with the count the program holds.
    set(listedCheck ${CMAKE_CURRENT_BINARY_DIR}/${target}_listed.cmake)
    file(GENERATE OUTPUT ${listedCheck} CONTENT
"list(LENGTH ${target}_registered registered)
add_test([=[${variant}.${name}.listed]=] \"${CMAKE_COMMAND}\" \"-DPROGRAM=$<TARGET_FILE:${target}>\"
  -DREGISTERED=\${registered} -P \"${PROJECT_SOURCE_DIR}/cmake/CheckListedTests.cmake\")
set_tests_properties([=[${variant}.${name}.listed]=] PROPERTIES LABELS ${variant})
")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${listedCheck})
    # ctest runs each test in a process of its own; the plain suite also runs
    # whole in one process, in an order drawn anew each run (the seed is
    # printed), so that a test that leaves state behind for another fails.
    # Started first: it is the suite's longest test.
    if(variant STREQUAL "plain")
      add_test(NAME plain.${name}.whole COMMAND ${target} --gtest_shuffle)
      set_tests_properties(plain.${name}.whole PROPERTIES LABELS plain COST 1000 ${scratchUse})
    endif()
  endforeach()
endfunction()
