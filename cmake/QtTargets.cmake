# Every folder of the Qt side is a library of its own, built from the sources
# of that folder:
#   lumivista_add_qt_library(<folder> [PUBLIC <libraries>] [PRIVATE <libraries>])
# PUBLIC for what the folder's headers include, PRIVATE for what only its
# sources do.
#
# Headers are included as "<folder>/Name.h". The library's include folder
# (in the build tree) holds a single link, named after the folder, to the
# folder itself: a target reaches the headers of exactly the libraries it
# links, and including another folder's header without linking its library
# fails to compile.
function(lumivista_add_qt_library target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "PUBLIC;PRIVATE")
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "lumivista_add_qt_library(${target}): say PUBLIC or PRIVATE before ${arg_UNPARSED_ARGUMENTS}")
  endif()
  file(GLOB sources CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
    ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
  add_library(${target} SHARED ${sources})
  set_target_properties(${target} PROPERTIES AUTOMOC ON AUTORCC ON
    OUTPUT_NAME lumivista_${target})

  get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  set(include_root ${CMAKE_BINARY_DIR}/include/${target})
  file(MAKE_DIRECTORY ${include_root})
  file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${include_root}/${folder} SYMBOLIC)
  target_include_directories(${target} PUBLIC ${include_root})

  target_compile_options(${target} PRIVATE -Wall -Wextra)
  target_link_libraries(${target} PUBLIC ${arg_PUBLIC} PRIVATE ${arg_PRIVATE})
endfunction()
