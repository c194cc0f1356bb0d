# Fails when a source of platform/ includes a header of the installer (engine/, setupdir/,
# shell/, resources/): the simulated Windows must know nothing of the product it runs.
#   cmake -DPLATFORM_DIR=<source>/platform -P check_independence.cmake
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
if(found)
  list(JOIN found "\n  " listing)
  message(FATAL_ERROR "platform/ includes installer code:\n  ${listing}")
endif()
