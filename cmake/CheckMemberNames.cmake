# Fails when a C++ file of the given folders names something with the m_
# prefix: members there take no prefix, as the engine's always have.
#   cmake -DROOT=<source tree> -DFOLDERS="src;engine;..." -P CheckMemberNames.cmake
# A name "m_" alone is a member m in the trailing-underscore style some
# engine classes use, not the prefix. Comments and string, raw string and
# character literals are read past, so that a formula in a comment
# ("(s/m_B) I") or a word in a message does not count.
cmake_minimum_required(VERSION 3.25)
if(NOT ROOT OR NOT FOLDERS)
  message(FATAL_ERROR "give ROOT and FOLDERS")
endif()

# What the scan reads past, as one alternation: the regex takes the match that
# starts first, as a lexer would, so that a quote inside a comment or a comment
# marker inside a string is not mistaken for one. Each repeated group repeats
# once per escape, closing parenthesis or star, not once per character, so
# that long comments and shader sources do not nest the matcher deeply.
set(newline "\n")
set(lineComment "//[^${newline}]*")
set(blockComment [[/\*[^*]*\*+([^*/][^*]*\*+)*/]])
set(rawString [[R"\([^)]*\)+([^)"][^)]*\)+)*"]])
set(stringLiteral "\"[^\"\\${newline}]*(\\\\.[^\"\\${newline}]*)*\"")
set(charLiteral "'[^'\\${newline}]*(\\\\.[^'\\${newline}]*)*'")
set(skipped "${rawString}|${lineComment}|${blockComment}|${stringLiteral}|${charLiteral}")

set(failures 0)
foreach(folder ${FOLDERS})
  file(GLOB_RECURSE files RELATIVE ${ROOT} ${ROOT}/${folder}/*.h ${ROOT}/${folder}/*.hpp ${ROOT}/${folder}/*.cpp
       ${ROOT}/${folder}/*.inl)
  list(SORT files)
  foreach(file ${files})
    file(READ ${ROOT}/${file} text)
    if(NOT text MATCHES "m_")
      continue()
    endif()
    string(REGEX REPLACE "${skipped}" " " code "${text}")
    # The code as words split by single spaces, so that every name that
    # starts a word follows a space.
    string(REGEX REPLACE "[^A-Za-z0-9_]+" " " words " ${code}")
    string(REGEX MATCHALL " m_[A-Za-z0-9_]+" found "${words}")
    if(found)
      string(REPLACE " " "" found "${found}")
      list(REMOVE_DUPLICATES found)
      list(JOIN found ", " names)
      message("${file}: names with the m_ prefix: ${names}")
      math(EXPR failures "${failures} + 1")
    endif()
  endforeach()
endforeach()

if(failures GREATER 0)
  message(FATAL_ERROR "${failures} file(s) name members with the m_ prefix; members take no prefix")
endif()
message("member names: no m_ prefix in ${FOLDERS}")
