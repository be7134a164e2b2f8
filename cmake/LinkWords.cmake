# What a target links, read as words, and which words name the media
# libraries (FFmpeg, LAME, libjpeg, libexif): the reading behind the
# layering check (Layering.cmake).

# The media libraries by their imported targets and by the names of their
# files (libavcodec.so.59, -lavcodec, -l:libjpeg.so.62, mp3lame, ...).
set(LUMIVISTA_MEDIA_TARGETS PkgConfig::FFMPEG Lame::mp3lame PkgConfig::JPEG PkgConfig::EXIF)
set(LUMIVISTA_MEDIA_NAMES avcodec avformat avutil avdevice avfilter swscale swresample
  postproc mp3lame jpeg turbojpeg exif)

# What a target lists as linked, as words, and the targets whose objects it
# takes as sources ($<TARGET_OBJECTS:x> gives TARGET_OBJECTS and x): generator
# expressions are taken apart (`$<$<CONFIG:Debug>:x>` gives CONFIG, Debug and
# x), so every name in them is seen; directory markers (::@...) are dropped.
function(lumivista_link_words target out)
  set(properties LINK_LIBRARIES INTERFACE_LINK_LIBRARIES INTERFACE_LINK_LIBRARIES_DIRECT
    LINK_OPTIONS INTERFACE_LINK_OPTIONS IMPORTED_LOCATION IMPORTED_LIBNAME)
  get_target_property(configurations ${target} IMPORTED_CONFIGURATIONS)
  if(configurations)
    foreach(configuration ${configurations})
      string(TOUPPER "${configuration}" configuration)
      list(APPEND properties IMPORTED_LOCATION_${configuration} IMPORTED_LIBNAME_${configuration})
    endforeach()
  endif()
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
  string(REPLACE "::" "@DOUBLE-COLON@" text "${text}")
  string(REGEX REPLACE "[$]<|[>:,]" ";" text "${text}")
  string(REPLACE "@DOUBLE-COLON@" "::" text "${text}")
  list(FILTER text EXCLUDE REGEX "^(::@.*)?$")
  set(${out} ${text} PARENT_SCOPE)
endfunction()

# TRUE in `out` when `word` names one of the media libraries.
function(lumivista_is_media word out)
  set(${out} FALSE PARENT_SCOPE)
  if(word IN_LIST LUMIVISTA_MEDIA_TARGETS)
    set(${out} TRUE PARENT_SCOPE)
    return()
  endif()
  string(REGEX REPLACE "^-l:?" "" name "${word}")
  get_filename_component(name "${name}" NAME)
  string(REGEX REPLACE "^lib" "" name "${name}")
  string(REGEX REPLACE "\\.(so|a)(\\.[0-9]+)*$" "" name "${name}")
  if(name IN_LIST LUMIVISTA_MEDIA_NAMES)
    set(${out} TRUE PARENT_SCOPE)
  endif()
endfunction()
