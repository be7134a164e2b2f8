# What a target links, read as words, and which words name the media
# libraries (FFmpeg, LAME, libjpeg, libexif): the reading behind the
# layering check (Layering.cmake).

# The media libraries by their imported targets and by the names of their
# files (libavcodec.so.59, -lavcodec, -l:libjpeg.so.62, mp3lame, ...).
set(LUMIVISTA_MEDIA_TARGETS PkgConfig::FFMPEG Lame::mp3lame PkgConfig::JPEG PkgConfig::EXIF)
set(LUMIVISTA_MEDIA_NAMES avcodec avformat avutil avdevice avfilter swscale swresample
  postproc mp3lame jpeg turbojpeg exif)

# The build configurations whose own link properties (LINK_FLAGS_<CONFIG>,
# IMPORTED_LOCATION_<CONFIG>, ...) are read: the usual four, the ones this
# build names, and those an imported target declares.
set(LUMIVISTA_LINK_CONFIGURATIONS Debug Release RelWithDebInfo MinSizeRel
  ${CMAKE_BUILD_TYPE} ${CMAKE_CONFIGURATION_TYPES})

# What a target lists as linked, as words, and the targets whose objects it
# takes as sources ($<TARGET_OBJECTS:x> gives TARGET_OBJECTS and x): generator
# expressions are taken apart (`$<$<CONFIG:Debug>:x>` gives CONFIG, Debug and
# x), so every name in them is seen, and so are flag strings and option
# groups ("SHELL:-Wl,--as-needed -lx" gives -lx); directory markers (::@...)
# are dropped. Every property the linker takes links from is read: the
# libraries, the link options and the older LINK_FLAGS, and an imported
# target's file and the links of its older interface.
function(lumivista_link_words target out)
  set(properties LINK_LIBRARIES INTERFACE_LINK_LIBRARIES INTERFACE_LINK_LIBRARIES_DIRECT
    LINK_OPTIONS INTERFACE_LINK_OPTIONS LINK_FLAGS
    IMPORTED_LOCATION IMPORTED_LIBNAME IMPORTED_LINK_INTERFACE_LIBRARIES)
  get_target_property(configurations ${target} IMPORTED_CONFIGURATIONS)
  if(NOT configurations)
    set(configurations)
  endif()
  list(APPEND configurations ${LUMIVISTA_LINK_CONFIGURATIONS})
  list(TRANSFORM configurations TOUPPER)
  list(REMOVE_DUPLICATES configurations)
  foreach(configuration ${configurations})
    list(APPEND properties LINK_FLAGS_${configuration} IMPORTED_LOCATION_${configuration}
      IMPORTED_LIBNAME_${configuration} IMPORTED_LINK_INTERFACE_LIBRARIES_${configuration})
  endforeach()
  set(text)
  foreach(property ${properties})
    get_target_property(value ${target} ${property})
    if(value)
      string(APPEND text ";${value}")
    endif()
  endforeach()
  # Of the sources only other targets' objects: file names are no links.
  foreach(property SOURCES INTERFACE_SOURCES)
    get_target_property(value ${target} ${property})
    if(value)
      string(REGEX MATCHALL "[$]<TARGET_OBJECTS:[^>]*>" objects "${value}")
      string(APPEND text ";${objects}")
    endif()
  endforeach()
  # A flag that only names a library or a folder (the library's own soname
  # or install name, a run-time search path) links nothing, and neither
  # does the word it names, however the two are joined: "-Wl,-soname,x",
  # "-soname=x", "LINKER:-rpath,a:b", "-Xlinker -soname -Xlinker x".
  string(REGEX REPLACE
    "(^|[;, :])--?(soname|h|rpath|rpath-link|install_name)[,=; ]+(-Wl,|-Xlinker[; ]+)?[^,; \t\n>]*"
    "\\1" text "${text}")
  string(REPLACE "::" "@DOUBLE-COLON@" text "${text}")
  string(REGEX REPLACE "[$]<|[>:, \t\n]" ";" text "${text}")
  string(REPLACE "@DOUBLE-COLON@" "::" text "${text}")
  list(FILTER text EXCLUDE REGEX "^(::@.*)?$")
  set(${out} ${text} PARENT_SCOPE)
endfunction()

# In `out` the library a link word names by a flag or a file: "-lname",
# "libname.so", "libname.so.6" or "libname.a" (with or without its folder;
# "-l:libname.so" comes as "-l" and "libname.so"); empty for any other word.
# A plain word is a target's name or nothing of ours, and a folder is no
# library, so neither counts here. The one reading of library names, for the
# table's libraries and the media libraries alike.
function(lumivista_library_named word out)
  set(name)
  get_filename_component(file "${word}" NAME)
  if(word MATCHES "^-l(.+)$")
    set(name ${CMAKE_MATCH_1})
  elseif(file MATCHES "^lib(.+)\\.(so|a)(\\.[0-9]+)*$")
    set(name ${CMAKE_MATCH_1})
  endif()
  set(${out} "${name}" PARENT_SCOPE)
endfunction()

# TRUE in `out` when `word` names one of the media libraries: its imported
# target, its plain name, or a flag or file that names it.
function(lumivista_is_media word out)
  set(${out} FALSE PARENT_SCOPE)
  lumivista_library_named("${word}" name)
  if(NOT name)
    set(name "${word}")
  endif()
  if(word IN_LIST LUMIVISTA_MEDIA_TARGETS OR name IN_LIST LUMIVISTA_MEDIA_NAMES)
    set(${out} TRUE PARENT_SCOPE)
  endif()
endfunction()
