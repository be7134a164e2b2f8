# Which of the program's libraries and executables may link which: the
# layering that docs/ARCHITECTURE.md describes in short.
# lumivista_check_layering(), called once every library and tool is
# defined, stops the configuration at a link outside this table, and at any
# target but the media library that links FFmpeg, LAME, libjpeg or libexif.
#
# A link counts however it is written: PRIVATE, PUBLIC or INTERFACE, inside
# a generator expression (whatever a genex names counts as linked: its
# condition cannot be judged here), through an alias, as another target's
# objects taken as sources ($<TARGET_OBJECTS:x>), as a -l flag or a library
# file of its name, in link options or LINK_FLAGS, or through libraries
# outside the table (INTERFACE, imported or helper libraries), followed
# until a library of the table ends the path. The media libraries count by
# every name: their imported targets, plain names, -l flags and file paths
# (LinkWords.cmake reads the links and knows those names).
#
# Every target of the program's folders is checked: one not in the table
# (a new folder, a new tool, a helper library) may link none of the table's
# until its row is written. Tests, benchmarks and fuzz targets (tests/,
# bench/, fuzz/) are exempt: they may link whatever they test.
set(LUMIVISTA_LIBRARIES kestrel ${LUMIVISTA_QT_FOLDERS}
  show_maker desktop_gallery_drawing command_line)
set(LUMIVISTA_PROGRAMS lumivista kestrel_make_show desktop_gallery)

# The table, from the bottom up: lumivista_may_link_<target> lists what
# <target> may link; a target without a row links none of the others.
#
# The media library `kestrel` (sdk/): none of the others; it alone links
# FFmpeg, LAME, libjpeg and libexif, privately.
# The QML UI toolkit: nothing of the media library or the online services;
# componentmodel and desktop none of the others (Qt alone).
set(lumivista_may_link_mvvm componentmodel)
set(lumivista_may_link_gui desktop componentmodel)
# The online services: nothing of the application; net none of the others.
# feeds and feedback link the whole media library, for its error channel,
# log and text helpers.
set(lumivista_may_link_feeds net kestrel)
set(lumivista_may_link_feedback feeds net componentmodel kestrel)
# The application: everything below it; app wires everything at start-up.
set(below_the_application kestrel componentmodel mvvm desktop gui net feeds feedback)
set(lumivista_may_link_multimedia ${below_the_application})
set(lumivista_may_link_viewmodel ${below_the_application} multimedia)
set(lumivista_may_link_app ${LUMIVISTA_LIBRARIES})
# The executables: the program on app alone; the show maker on the engine;
# the gallery on its drawing (Qt alone) and the toolkit. The tools read
# their command lines with command_line, which links none of the others.
# No test code.
set(lumivista_may_link_lumivista app)
set(lumivista_may_link_show_maker kestrel)
set(lumivista_may_link_kestrel_make_show show_maker command_line)
set(lumivista_may_link_desktop_gallery desktop_gallery_drawing gui command_line)

include(${CMAKE_CURRENT_LIST_DIR}/LinkWords.cmake)

# Everything `target` links, directly or through targets outside the table;
# a target of the table ends the path (its own row rules its links). Aliases
# give what they stand for, and so do a -l flag or a library file that names
# a library of the table by its target's name or its file's
# (lumivista_library_file_<name>).
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
      # "-llumivista_viewmodel" or a path to liblumivista_viewmodel.so
      # links viewmodel.
      lumivista_library_named("${word}" library)
      if(library AND DEFINED lumivista_library_file_${library})
        list(APPEND pending ${lumivista_library_file_${library}})
      else()
        list(APPEND reached "${word}")
      endif()
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
  foreach(target ${LUMIVISTA_LAYERED})
    set(lumivista_library_file_${target} ${target})
    if(TARGET ${target})
      get_target_property(file_name ${target} OUTPUT_NAME)
      if(file_name)
        set(lumivista_library_file_${file_name} ${target})
      endif()
    endif()
  endforeach()
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
    message(FATAL_ERROR "Links across the layering (the table in cmake/Layering.cmake):\n  ${text}")
  endif()
endfunction()
