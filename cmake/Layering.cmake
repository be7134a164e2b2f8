# Which of the program's libraries and executables may link which: the
# layering that docs/ARCHITECTURE.md draws. lumivista_check_layering(),
# called once every library and tool is defined, stops the configuration at
# a link outside this table, and at any target but the media library that
# links FFmpeg, LAME, libjpeg or libexif.
#
# A link counts however it is written: PRIVATE, PUBLIC or INTERFACE, inside
# a generator expression (whatever a genex names counts as linked: its
# condition cannot be judged here), through an alias, or through libraries
# outside the table (INTERFACE, imported or helper libraries), followed
# until a library of the table ends the path. The media libraries count by
# every name: their imported targets, plain names, -l flags and file paths.
#
# Every target of the program's folders is checked: one not in the table
# (a new folder, a new tool, a helper library) may link none of the table's
# until its row is written. Tests, benchmarks and fuzz targets (tests/,
# bench/, fuzz/) are exempt: they may link whatever they test.
set(LUMIVISTA_LIBRARIES kestrel ${LUMIVISTA_QT_FOLDERS}
  show_maker desktop_gallery_drawing)
set(LUMIVISTA_PROGRAMS lumivista kestrel_make_show desktop_gallery)

# The media library (no Qt) links none of the others.
# The QML UI toolkit: nothing of the media library or the online services.
set(lumivista_may_link_mvvm componentmodel)
set(lumivista_may_link_gui desktop componentmodel)
# The online services: the whole media library, for its error channel, log
# and text helpers.
set(lumivista_may_link_feeds net kestrel)
set(lumivista_may_link_feedback feeds net componentmodel kestrel)
# The application: everything below it.
set(below_the_application kestrel componentmodel mvvm desktop gui net feeds feedback)
set(lumivista_may_link_multimedia ${below_the_application})
set(lumivista_may_link_viewmodel ${below_the_application} multimedia)
set(lumivista_may_link_app ${LUMIVISTA_LIBRARIES})
set(lumivista_may_link_lumivista app)
# The tools: the show maker on the engine, the gallery on Qt and the toolkit.
set(lumivista_may_link_show_maker kestrel)
set(lumivista_may_link_kestrel_make_show show_maker)
set(lumivista_may_link_desktop_gallery desktop_gallery_drawing gui)

# The media libraries by their imported targets and by the names of their
# files (libavcodec.so.59, -lavcodec, -l:libjpeg.so.62, mp3lame, ...).
set(LUMIVISTA_MEDIA_TARGETS PkgConfig::FFMPEG Lame::mp3lame PkgConfig::JPEG PkgConfig::EXIF)
set(LUMIVISTA_MEDIA_NAMES avcodec avformat avutil avdevice avfilter swscale swresample
  postproc mp3lame jpeg turbojpeg exif)

# What a target lists as linked, as words: generator expressions are taken
# apart (`$<$<CONFIG:Debug>:x>` gives CONFIG, Debug and x), so every name
# in them is seen; directory markers (::@...) are dropped.
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

# Everything `target` links, directly or through targets outside the table;
# a target of the table ends the path (its own row rules its links). Aliases
# give what they stand for.
function(lumivista_reached target out)
  lumivista_link_words(${target} pending)
  set(seen ${target})
  set(reached)
  while(pending)
    list(POP_FRONT pending word)
    if(word IN_LIST seen)
      continue()
    endif()
    list(APPEND seen "${word}")
    if(NOT TARGET "${word}")
      list(APPEND reached "${word}")
      continue()
    endif()
    get_target_property(aliased ${word} ALIASED_TARGET)
    if(aliased)
      list(APPEND pending ${aliased})
      continue()
    endif()
    list(APPEND reached ${word})
    if(NOT word IN_LIST LUMIVISTA_LAYERED)
      lumivista_link_words(${word} more)
      list(APPEND pending ${more})
    endif()
  endwhile()
  set(${out} ${reached} PARENT_SCOPE)
endfunction()

# The libraries and executables defined under `directory`, but for the
# exempt folders.
function(lumivista_program_targets directory out)
  set(found)
  get_property(targets DIRECTORY ${directory} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target ${targets})
    get_target_property(type ${target} TYPE)
    get_target_property(folder ${target} SOURCE_DIR)
    file(RELATIVE_PATH folder ${CMAKE_SOURCE_DIR} ${folder})
    if(type MATCHES "^(EXECUTABLE|.*_LIBRARY)$" AND NOT folder MATCHES "^(tests|bench|fuzz)(/|$)")
      list(APPEND found ${target})
    endif()
  endforeach()
  get_property(subdirectories DIRECTORY ${directory} PROPERTY SUBDIRECTORIES)
  foreach(subdirectory ${subdirectories})
    lumivista_program_targets(${subdirectory} more)
    list(APPEND found ${more})
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

function(lumivista_check_layering)
  set(LUMIVISTA_LAYERED ${LUMIVISTA_LIBRARIES} ${LUMIVISTA_PROGRAMS})
  lumivista_program_targets(${CMAKE_SOURCE_DIR} checked)
  list(APPEND checked ${LUMIVISTA_LAYERED})
  list(REMOVE_DUPLICATES checked)
  set(faults)
  foreach(target ${checked})
    if(NOT TARGET ${target})
      continue()
    endif()
    lumivista_reached(${target} reached)
    foreach(link ${reached})
      lumivista_is_media("${link}" media)
      if(link IN_LIST LUMIVISTA_LAYERED AND NOT link IN_LIST lumivista_may_link_${target})
        list(APPEND faults "${target} links ${link}")
      elseif(media AND NOT target STREQUAL "kestrel")
        list(APPEND faults "${target} links ${link}, which only the media library may")
      endif()
    endforeach()
  endforeach()
  if(faults)
    list(JOIN faults "\n  " text)
    message(FATAL_ERROR "Links across the layering (cmake/Layering.cmake, docs/ARCHITECTURE.md):\n  ${text}")
  endif()
endfunction()
