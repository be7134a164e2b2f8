# The folder order check stops an include from a lower folder to a higher
# one and lets the other ways through: a small tree in WORK_DIR, checked
# once right and once with one include the wrong way.
#
#   cmake -DSOURCE_DIR=<project folder> -DWORK_DIR=<scratch folder> -P FolderOrderForms.cmake
cmake_minimum_required(VERSION 3.25)
if(NOT WORK_DIR)
  message(FATAL_ERROR "give SOURCE_DIR (the project folder) and WORK_DIR")
endif()
file(REMOVE_RECURSE ${WORK_DIR})
set(src ${WORK_DIR}/sdk/src)
file(WRITE ${src}/low/Low.h "#include <vector>\n#include \"Beside.h\"\n#include \"top/Gate.h\"\n")
file(WRITE ${src}/low/Beside.h "\n")
file(WRITE ${src}/top/Top.h "#include \"low/Low.h\"\n#include \"top/Gate.h\"\n")
file(WRITE ${src}/top/Gate.h "\n")

function(check out_result out_output)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${WORK_DIR} "-DFOLDERS=low;top" -DGATES=top/Gate.h
      -P ${SOURCE_DIR}/tests/layering/FolderOrder.cmake
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  set(${out_result} ${result} PARENT_SCOPE)
  set(${out_output} "${output}" PARENT_SCOPE)
endfunction()

check(result output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the check stopped a tree in order:\n${output}")
endif()

file(APPEND ${src}/low/Low.h "  #  include \"top/Top.h\" // upwards\n")
check(result output)
string(FIND "${output}" "sdk/src/low/Low.h:" named_at)
if(result EQUAL 0 OR named_at EQUAL -1)
  message(FATAL_ERROR "the check let an include upwards through:\n${output}")
endif()

file(MAKE_DIRECTORY ${src}/unlisted)
file(WRITE ${src}/low/Low.h "\n")
check(result output)
string(FIND "${output}" "sdk/src/unlisted: a folder the order does not list" unlisted_at)
if(result EQUAL 0 OR unlisted_at EQUAL -1)
  message(FATAL_ERROR "the check let a folder outside the order through:\n${output}")
endif()
message(STATUS "the folder order check stops an include upwards and a folder it does not know")
