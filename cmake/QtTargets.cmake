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

# The QML of a folder compiled ahead of time with Qt's qmlcachegen, into the
# folder's library, each file under its resource path, <prefix>/<path in the
# folder>:
#   lumivista_compile_qml(<folder> <resource prefix>)
# Qt finds the byte code of a view in the library, so that loading it never
# looks at Qt's disk cache of compiled QML, which lies in the user's home:
# on a share that hangs, the window's thread would wait for it. Byte code
# only: the views run as before, interpreted or compiled at run time.
function(lumivista_compile_qml target prefix)
  file(GLOB_RECURSE views CONFIGURE_DEPENDS RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}
    ${CMAKE_CURRENT_SOURCE_DIR}/*.qml)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/qmlcache)
  set(resource_paths)
  foreach(view ${views})
    string(MAKE_C_IDENTIFIER ${view} name)
    set(compiled ${out}/${target}_${name}.cpp)
    add_custom_command(OUTPUT ${compiled}
      COMMAND Qt6::qmlcachegen --only-bytecode --resource-path ${prefix}/${view} -o ${compiled}
        ${CMAKE_CURRENT_SOURCE_DIR}/${view}
      DEPENDS Qt6::qmlcachegen ${CMAKE_CURRENT_SOURCE_DIR}/${view}
      VERBATIM)
    list(APPEND resource_paths ${prefix}/${view})
    target_sources(${target} PRIVATE ${compiled})
    set_source_files_properties(${compiled} PROPERTIES SKIP_AUTOGEN ON)
  endforeach()
  # The loader registers the byte code with the QML engine as the library
  # loads; qmlcachegen makes one only under a name that ends so.
  set(list_file ${out}/${target}_views.rsp)
  list(JOIN resource_paths "\n" listed)
  file(GENERATE OUTPUT ${list_file} CONTENT "${listed}\n")
  set(loader ${out}/${target}_qmlcache_loader.cpp)
  add_custom_command(OUTPUT ${loader}
    COMMAND Qt6::qmlcachegen --resource-name qmlcache_${target} -o ${loader} @${list_file}
    DEPENDS Qt6::qmlcachegen ${list_file}
    VERBATIM)
  target_sources(${target} PRIVATE ${loader})
  set_source_files_properties(${loader} PROPERTIES SKIP_AUTOGEN ON)
  target_link_libraries(${target} PRIVATE Qt6::Qml)
endfunction()
