# Fails when a source of platform/ knows the product it runs: when it includes a header of the
# installer (engine/, setupdir/, shell/, resources/), or names one of the product's strings:
# the texts, captions, template, resource, window and registry names of
# resources/ui_table.h. The simulated Windows must be a model of Windows that any program
# could run on; the product hands it what it needs as data.
#   cmake -DPLATFORM_DIR=<source>/platform [-DTABLE=<the table>] -P check_independence.cmake
cmake_minimum_required(VERSION 3.25)
if(NOT TABLE)
  set(TABLE ${PLATFORM_DIR}/../resources/ui_table.h)
endif()
file(GLOB sources ${PLATFORM_DIR}/*.h ${PLATFORM_DIR}/*.cpp ${PLATFORM_DIR}/sim/*.h
     ${PLATFORM_DIR}/sim/*.cpp)
set(found "")
foreach(source ${sources})
  file(STRINGS ${source} lines
       REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<](engine|setupdir|shell|resources)/")
  foreach(line ${lines})
    list(APPEND found "${source}: ${line}")
  endforeach()
endforeach()

# The product's strings, as written in C++ (escapes kept), cut at their wsprintfA directives;
# pieces shorter than 6 characters and the words Windows itself uses are too common to tell.
set(windows_words "binary" "directory" "progress")
file(READ ${TABLE} table)
string(REGEX MATCHALL "\"([^\"\\\\]|\\\\.)*\"" literals "${table}")
set(pieces "")
foreach(literal ${literals})
  string(REGEX REPLACE "^\"|\"$" "" text "${literal}")
  string(TOLOWER "${text}" text)
  string(REGEX REPLACE "%[#0-9]*[a-z%]" ";" parts "${text}")
  foreach(part ${parts})
    string(STRIP "${part}" part)
    string(LENGTH "${part}" length)
    if(length GREATER_EQUAL 6 AND NOT part IN_LIST windows_words)
      list(APPEND pieces "${part}")
    endif()
  endforeach()
endforeach()
list(REMOVE_DUPLICATES pieces)
foreach(source ${sources})
  file(READ ${source} content)
  string(TOLOWER "${content}" content)
  foreach(piece ${pieces})
    string(FIND "${content}" "${piece}" at)
    if(NOT at EQUAL -1)
      list(APPEND found "${source}: names the product's \"${piece}\"")
    endif()
  endforeach()
endforeach()

if(found)
  list(JOIN found "\n  " listing)
  message(FATAL_ERROR "platform/ knows the installer:\n  ${listing}")
endif()
