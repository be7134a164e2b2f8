# The program's own C and C++ files, relative to SOURCE_DIR: every folder
# but the build trees, hidden folders and the code that only tests or
# measures it (tests/, bench/, fuzz/). Stops when the list is implausibly
# short (a wrong SOURCE_DIR would otherwise pass every check).
#   include(ProgramSources.cmake) then lumivista_program_sources(<variable>)
#   lumivista_refuse_lines(<files> <line pattern> <what is wrong>) stops
#   naming every line of the files that matches the pattern.
if(NOT IS_DIRECTORY "${SOURCE_DIR}/sdk/src/ffmpeg")
  message(FATAL_ERROR "SOURCE_DIR (${SOURCE_DIR}) is not the project folder")
endif()

function(lumivista_program_sources out)
  file(GLOB tops RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/*")
  list(FILTER tops EXCLUDE REGEX "^(build.*|tests|bench|fuzz|\\..*)$")
  set(files)
  foreach(top ${tops})
    file(GLOB_RECURSE found RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/${top}/*.h"
      "${SOURCE_DIR}/${top}/*.hpp" "${SOURCE_DIR}/${top}/*.c" "${SOURCE_DIR}/${top}/*.cpp")
    if(top MATCHES "\\.(h|hpp|c|cpp)$")
      list(APPEND found ${top})
    endif()
    list(APPEND files ${found})
  endforeach()
  list(LENGTH files count)
  if(count LESS 100)
    message(FATAL_ERROR "only ${count} files found under ${SOURCE_DIR}")
  endif()
  set(${out} ${files} PARENT_SCOPE)
endfunction()

function(lumivista_refuse_lines files pattern what)
  set(offenders)
  foreach(file ${files})
    file(STRINGS "${SOURCE_DIR}/${file}" lines REGEX "${pattern}")
    foreach(line ${lines})
      list(APPEND offenders "  ${file}: ${line}")
    endforeach()
  endforeach()
  if(offenders)
    list(JOIN offenders "\n" text)
    message(FATAL_ERROR "${what}:\n${text}")
  endif()
endfunction()
