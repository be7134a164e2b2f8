# Which of the program's libraries may link which: the layering that
# docs/ARCHITECTURE.md draws. lumivista_check_layering(), called once every
# library is defined, stops the configuration at a link outside this table,
# and at any library but the media library that links FFmpeg or LAME.
# Every Qt-side folder is in the table: a new one may link none of the
# others until its row is written. Tests, benchmarks and fuzz targets are
# not in it: they may link whatever they test.
set(LUMIVISTA_LIBRARIES kestrel ${LUMIVISTA_QT_FOLDERS}
  show_maker desktop_gallery_drawing)

# The media library (no Qt) links none of the others.
# The QML UI toolkit: nothing of the media library or the online services.
set(lumivista_may_link_mvvm componentmodel)
set(lumivista_may_link_gui desktop componentmodel)
# The online services: of the media library its error channel, log and
# text helpers.
set(lumivista_may_link_feeds net kestrel)
set(lumivista_may_link_feedback feeds net componentmodel kestrel)
# The application: everything below it.
set(below_the_application kestrel componentmodel mvvm desktop gui net feeds feedback)
set(lumivista_may_link_multimedia ${below_the_application})
set(lumivista_may_link_viewmodel ${below_the_application} multimedia)
set(lumivista_may_link_app ${LUMIVISTA_LIBRARIES})
# The tools: the show maker on the engine, the gallery on Qt alone.
set(lumivista_may_link_show_maker kestrel)

function(lumivista_check_layering)
  set(faults)
  foreach(library ${LUMIVISTA_LIBRARIES})
    get_target_property(links ${library} LINK_LIBRARIES)
    if(NOT links)
      continue()
    endif()
    foreach(link ${links})
      if(link IN_LIST LUMIVISTA_LIBRARIES AND NOT link IN_LIST lumivista_may_link_${library})
        list(APPEND faults "${library} links ${link}")
      elseif(link MATCHES "^(PkgConfig::FFMPEG|Lame::mp3lame)$" AND NOT library STREQUAL "kestrel")
        list(APPEND faults "${library} links ${link}, which only the media library may")
      endif()
    endforeach()
  endforeach()
  if(faults)
    list(JOIN faults "\n  " text)
    message(FATAL_ERROR "Links across the layering (cmake/Layering.cmake, docs/ARCHITECTURE.md):\n  ${text}")
  endif()
endfunction()
