# A Qt-side library sees only its own folder and those of the libraries it
# links (cmake/QtTargets.cmake), but a quoted include is also looked up
# beside the including file: "../viewmodel/Settings.h" would reach a folder
# the library does not link. So no include of the program's own code (tests,
# benchmarks and fuzz targets aside) has a ".." component.
#
#   cmake -DSOURCE_DIR=<project folder> -P ClimbingIncludes.cmake
include(${CMAKE_CURRENT_LIST_DIR}/ProgramSources.cmake)

set(climbing_include "^[ \t]*#[ \t]*include[ \t]*[<\"]([^\">]*/)?\\.\\.[/\">]")

# The pattern itself, on lines whose answer is known.
set(climbing [[#include "../viewmodel/Settings.h"]] [[  #  include <gui/../feeds/Feed.h>]]
  [[#include "sub/.."]] [[#include"../x.h"]])
set(staying [[#include "viewmodel/Settings.h"]] [[#include "a..b.h"]] [[#include "..h"]]
  [[// #include "../x.h"]] [[#include <boost/asio.hpp> // ../]])
foreach(line ${climbing})
  if(NOT line MATCHES "${climbing_include}")
    message(FATAL_ERROR "the pattern misses: ${line}")
  endif()
endforeach()
foreach(line ${staying})
  if(line MATCHES "${climbing_include}")
    message(FATAL_ERROR "the pattern wrongly takes: ${line}")
  endif()
endforeach()

lumivista_program_sources(files)
lumivista_refuse_lines("${files}" "${climbing_include}"
  "Includes that climb out of their folder (name the library's folder instead)")
list(LENGTH files count)
message(STATUS "${count} files, no include climbs out of its folder")
