# The media library's folders keep their order (cmake/KestrelFolders.cmake):
# no file of a folder includes a file of a folder after it, but through the
# gates listed there. An include names the folder ("files/DTPathWalk.h") or
# a file beside the includer.
#
#   cmake -DSOURCE_DIR=<project folder> -P FolderOrder.cmake
# A test of the check itself may give FOLDERS and GATES instead of the
# project's own.
cmake_minimum_required(VERSION 3.25)
if(NOT IS_DIRECTORY "${SOURCE_DIR}/sdk/src")
  message(FATAL_ERROR "SOURCE_DIR (${SOURCE_DIR}) has no sdk/src")
endif()
if(NOT DEFINED FOLDERS)
  include(${SOURCE_DIR}/cmake/KestrelFolders.cmake)
  set(FOLDERS ${KESTREL_FOLDERS})
  set(GATES ${KESTREL_FOLDER_GATES})
endif()

set(root "${SOURCE_DIR}/sdk/src")
file(GLOB tops RELATIVE "${root}" "${root}/*")
set(offenders)
set(count 0)
foreach(top ${tops})
  if(IS_DIRECTORY "${root}/${top}" AND NOT top IN_LIST FOLDERS)
    list(APPEND offenders "  sdk/src/${top}: a folder the order does not list")
  endif()
endforeach()
foreach(folder ${FOLDERS})
  list(FIND FOLDERS ${folder} rank)
  file(GLOB_RECURSE files RELATIVE "${root}" "${root}/${folder}/*.h" "${root}/${folder}/*.cpp")
  foreach(file ${files})
    math(EXPR count "${count} + 1")
    file(STRINGS "${root}/${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"]+\"")
    foreach(line ${includes})
      string(REGEX REPLACE "^[^\"]*\"([^\"]+)\".*$" "\\1" included "${line}")
      if(included IN_LIST GATES OR NOT included MATCHES "^([^/]+)/")
        continue()
      endif()
      list(FIND FOLDERS ${CMAKE_MATCH_1} included_rank)
      if(included_rank GREATER rank)
        list(APPEND offenders "  sdk/src/${file}: ${line} (${folder} comes before ${CMAKE_MATCH_1})")
      endif()
    endforeach()
  endforeach()
endforeach()

if(offenders)
  list(JOIN offenders "\n" text)
  message(FATAL_ERROR "Includes against the media library's folder order:\n${text}")
endif()
message(STATUS "${count} files of the media library keep the folder order")
