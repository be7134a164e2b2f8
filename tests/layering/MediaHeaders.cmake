# FFmpeg and LAME are linked privately by the media library, so no code of
# the product outside the library's FFmpeg folder (sdk/src/ffmpeg) may
# include their headers: a public header that did would not compile for
# whoever links the library, and a source of the Qt side that did would
# reach around the library's own types. The LAME encoder's header, which
# only the encoder's sources include, is the one exception. Tests,
# benchmarks and fuzz targets may use FFmpeg themselves.
#
#   cmake -DSOURCE_DIR=<project folder> -P MediaHeaders.cmake
include(${CMAKE_CURRENT_LIST_DIR}/ProgramSources.cmake)

set(allowed sdk/src/encoders/DTLameEncoder.h)
set(media_include "^[ \t]*#[ \t]*include[ \t]*[<\"](lib(av[a-z]*|sw[a-z]*|postproc)/|lame/|lame\\.h)")

lumivista_program_sources(files)
list(FILTER files EXCLUDE REGEX "^sdk/src/ffmpeg/")
list(REMOVE_ITEM files ${allowed})
list(LENGTH files count)

lumivista_refuse_lines("${files}" "${media_include}"
  "FFmpeg or LAME headers outside sdk/src/ffmpeg")
message(STATUS "${count} files, none includes FFmpeg or LAME")
