# Fails when a hot loop of the engine runs in scalar code where it ran in
# vector registers. Each source is compiled again with the flags the build
# gives the engine (read from the build's compile_commands.json), asking GCC
# which loops it vectorised; then:
#   - every loop that the source marks with a comment line beginning
#     "// Vectorised by the compiler" (the loop's first line at most six lines
#     below) must be reported vectorised;
#   - every kernel named in KERNELS must hold an instruction matching its
#     pattern in the object's disassembly (the kernels written with vector
#     intrinsics, so that nobody turns them back into plain loops unnoticed).
#
#   cmake -DCOMMANDS=<build>/compile_commands.json -DLIBRARY=zov_engine
#         -DSOURCES=<source>,... -DKERNELS=<source>|<function>|<regex>,...
#         -DWORK=<scratch folder> -P CheckVectorised.cmake
# <function> is a piece of the demangled name of the function to look in.
cmake_minimum_required(VERSION 3.25)
if(NOT COMMANDS OR NOT LIBRARY OR NOT SOURCES OR NOT WORK)
  message(FATAL_ERROR "give COMMANDS, LIBRARY, SOURCES and WORK")
endif()
string(REPLACE "," ";" SOURCES "${SOURCES}")
string(REPLACE "," ";" KERNELS "${KERNELS}")

# The compile command of one of the target's own files (every file of a
# target compiles with the same flags). Each command sits on one line.
file(STRINGS ${COMMANDS} commandLines REGEX "\"command\": \".* -o CMakeFiles/${LIBRARY}\\.dir/")
list(LENGTH commandLines found)
if(found EQUAL 0)
  message(FATAL_ERROR "no compile command of ${LIBRARY} in ${COMMANDS}")
endif()
list(GET commandLines 0 commandLine)
string(REGEX REPLACE "^.*\"command\": \"(.*)\",?$" "\\1" command "${commandLine}")
string(REPLACE "\\\"" "\"" command "${command}")
# Drop the output and the input: each source gives its own.
string(REGEX REPLACE " -o [^ ]+" "" command "${command}")
string(REGEX REPLACE " -c [^ ]+" "" command "${command}")
separate_arguments(arguments UNIX_COMMAND "${command}")
list(GET arguments 0 compiler)
execute_process(COMMAND ${compiler} --version OUTPUT_VARIABLE version ERROR_QUIET)
if(NOT version MATCHES "^(g\\+\\+|c\\+\\+|gcc)")
  # Only GCC reports its vectorised loops in this form.
  message("not GCC: nothing checked")
  return()
endif()

file(MAKE_DIRECTORY ${WORK})
set(failures 0)
set(checkedLoops 0)
foreach(source ${SOURCES})
  get_filename_component(name ${source} NAME_WE)
  set(object ${WORK}/${name}.o)
  execute_process(COMMAND ${arguments} -fopt-info-vec-optimized -o ${object} -c ${source}
                  RESULT_VARIABLE result OUTPUT_VARIABLE report ERROR_VARIABLE report)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${source} did not compile:\n${report}")
  endif()
  get_filename_component(file ${source} NAME)
  string(REGEX MATCHALL "${file}:[0-9]+:[0-9]+: optimized: loop vectorized" vectorised "${report}")
  set(vectorisedLines)
  foreach(entry ${vectorised})
    string(REGEX REPLACE "^${file}:([0-9]+):.*" "\\1" line "${entry}")
    list(APPEND vectorisedLines ${line})
  endforeach()

  file(STRINGS ${source} lines)
  set(number 0)
  foreach(text IN LISTS lines)
    math(EXPR number "${number} + 1")
    if(NOT text MATCHES "^[ \t]*// Vectorised by the compiler")
      continue()
    endif()
    math(EXPR checkedLoops "${checkedLoops} + 1")
    set(seen FALSE)
    foreach(offset RANGE 1 6)
      math(EXPR below "${number} + ${offset}")
      if(below IN_LIST vectorisedLines)
        set(seen TRUE)
      endif()
    endforeach()
    if(NOT seen)
      message("${source}:${number}: the loop marked here is no longer vectorised")
      math(EXPR failures "${failures} + 1")
    endif()
  endforeach()
endforeach()

foreach(kernel ${KERNELS})
  string(REPLACE "|" ";" parts "${kernel}")
  list(GET parts 0 source)
  list(GET parts 1 function)
  list(GET parts 2 pattern)
  get_filename_component(name ${source} NAME_WE)
  execute_process(COMMAND objdump -d -C --no-show-raw-insn ${WORK}/${name}.o OUTPUT_VARIABLE listing
                  RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "objdump could not read ${WORK}/${name}.o")
  endif()
  # Functions are listed one after another, each from its "<name>:" line to
  # an empty line; calls name functions too, but their lines do not end in
  # ">:".
  set(body "")
  set(rest "${listing}")
  while(TRUE)
    string(FIND "${rest}" "${function}" at)
    if(at EQUAL -1)
      break()
    endif()
    string(SUBSTRING "${rest}" ${at} -1 rest)
    string(FIND "${rest}" "\n" lineEnd)
    string(SUBSTRING "${rest}" 0 ${lineEnd} line)
    if(line MATCHES ">:$")
      string(FIND "${rest}" "\n\n" end)
      string(SUBSTRING "${rest}" 0 ${end} body)
      break()
    endif()
    string(SUBSTRING "${rest}" ${lineEnd} -1 rest)
  endwhile()
  if(body STREQUAL "")
    message("${source}: no function ${function} in the object")
    math(EXPR failures "${failures} + 1")
    continue()
  endif()
  if(NOT body MATCHES "${pattern}")
    message("${source}: ${function} holds no instruction matching ${pattern}: it is no longer vectorised")
    math(EXPR failures "${failures} + 1")
  endif()
endforeach()

if(failures GREATER 0)
  message(FATAL_ERROR "${failures} hot loop(s) no longer vectorised")
endif()
if(checkedLoops EQUAL 0)
  message(FATAL_ERROR "no marked loop found in ${SOURCES}")
endif()
message("${checkedLoops} marked loop(s) and every kernel vectorised")
