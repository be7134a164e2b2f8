# The layering check (cmake/Layering.cmake) sees a forbidden link in every
# form CMake lets one write it, and lets the allowed ones through: each row
# below adds links to the fixture project (fixture/, targets named like the
# program's), configures it and expects the layering message naming the
# fault, or, for an allowed row, a clean configuration.
#
#   cmake -DSOURCE_DIR=<project folder> -DWORK_DIR=<scratch folder> -P LinkForms.cmake
if(NOT EXISTS "${SOURCE_DIR}/cmake/Layering.cmake" OR NOT WORK_DIR)
  message(FATAL_ERROR "give SOURCE_DIR (the project folder) and WORK_DIR")
endif()
file(REMOVE_RECURSE ${WORK_DIR})
set(failures)

function(configure_case name links out_result out_output)
  set(case_file ${WORK_DIR}/${name}.cmake)
  file(WRITE ${case_file} "${links}\n")
  execute_process(
    COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/layering/fixture -B ${WORK_DIR}/build
      -DLUMIVISTA_SOURCE_DIR=${SOURCE_DIR} -DLAYERING_CASE=${case_file}
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  set(${out_result} ${result} PARENT_SCOPE)
  set(${out_output} "${output}" PARENT_SCOPE)
endfunction()

# A row the check must stop, naming `fault`.
function(forbidden name fault links)
  configure_case(${name} "${links}" result output)
  string(FIND "${output}" "Links across the layering" message_at)
  string(FIND "${output}" "${fault}" fault_at)
  if(result EQUAL 0 OR message_at EQUAL -1 OR fault_at EQUAL -1)
    set(failures "${failures}\n${name}: expected the layering to stop at \"${fault}\", got:\n${output}" PARENT_SCOPE)
  endif()
endfunction()

# A row the check must let through.
function(allowed name links)
  configure_case(${name} "${links}" result output)
  if(NOT result EQUAL 0)
    set(failures "${failures}\n${name}: expected to configure, got:\n${output}" PARENT_SCOPE)
  endif()
endfunction()

allowed(the_program_as_it_is "")
allowed(allowed_links_in_every_form [[
add_library(lumivista::net ALIAS net)
add_library(engine_bridge INTERFACE)
target_link_libraries(engine_bridge INTERFACE Qt6::Core)
target_link_libraries(feeds PRIVATE $<LINK_ONLY:kestrel> lumivista::net $<$<CONFIG:Debug>:net>)
target_link_libraries(feedback INTERFACE $<BUILD_INTERFACE:kestrel> engine_bridge)
target_link_libraries(kestrel PRIVATE -lavcodec $<TARGET_NAME:PkgConfig::JPEG>)
target_link_libraries(viewmodel PRIVATE -lmultimedia)
set_target_properties(gui PROPERTIES LINK_FLAGS "-Wl,-rpath,${CMAKE_BINARY_DIR}/net:${CMAKE_BINARY_DIR}/app")
]])

# Flags that only name a library or a folder (a soname, an install name, a
# run-time search path) link nothing, however written; a link after one
# still counts.
allowed(flags_that_only_name_a_library [[
set_target_properties(gui PROPERTIES LINK_FLAGS "-Wl,-soname,libnet.so -Wl,--soname=/x/libkestrel.so")
target_link_options(componentmodel PRIVATE -Xlinker -soname -Xlinker libnet.so "LINKER:-rpath,/opt/jpeg:/opt/libfeeds.so")
target_link_options(desktop PRIVATE "-Wl,-install_name,@rpath/libnet.so" "-Wl,-h,libavcodec.so.59" -Wl,-rpath-link=/opt/exif)
]])
forbidden(link_after_a_naming_flag "desktop links feeds" [[target_link_libraries(desktop PRIVATE "-Wl,-soname,libdesktop.so,-lfeeds")]])

# Across the table, however the link is written.
forbidden(private_link "gui links kestrel" [[target_link_libraries(gui PRIVATE kestrel)]])
forbidden(interface_link "mvvm links feeds" [[target_link_libraries(mvvm INTERFACE feeds)]])
forbidden(link_only "componentmodel links mvvm" [[target_link_libraries(componentmodel PRIVATE $<LINK_ONLY:mvvm>)]])
forbidden(config_condition "net links kestrel" [[target_link_libraries(net PRIVATE $<$<CONFIG:Debug>:kestrel>)]])
forbidden(target_name "feedback links viewmodel" [[target_link_libraries(feedback PRIVATE $<TARGET_NAME:viewmodel>)]])
forbidden(build_interface "desktop links gui" [[target_link_libraries(desktop PUBLIC $<BUILD_INTERFACE:gui>)]])
forbidden(alias "componentmodel links kestrel" [[
add_library(lumivista::kestrel ALIAS kestrel)
target_link_libraries(componentmodel PRIVATE lumivista::kestrel)
]])
forbidden(interface_library_between "net links viewmodel" [[
add_library(bridge INTERFACE)
target_link_libraries(bridge INTERFACE viewmodel)
target_link_libraries(net PRIVATE bridge)
]])
forbidden(imported_libraries_between "qml links multimedia" [[
add_library(Outer::bridge INTERFACE IMPORTED)
add_library(Inner::bridge INTERFACE IMPORTED)
set_target_properties(Outer::bridge PROPERTIES INTERFACE_LINK_LIBRARIES "$<LINK_ONLY:Inner::bridge>")
set_target_properties(Inner::bridge PROPERTIES INTERFACE_LINK_LIBRARIES multimedia)
target_link_libraries(qml PRIVATE Outer::bridge)
]])
forbidden(objects_of_a_library_between "net links viewmodel" [[
add_library(view_objects OBJECT ${nothing})
set_target_properties(view_objects PROPERTIES LINKER_LANGUAGE NONE)
target_link_libraries(view_objects PRIVATE viewmodel)
target_sources(net PRIVATE $<TARGET_OBJECTS:view_objects>)
]])
forbidden(objects_in_a_condition "desktop links PkgConfig::FFMPEG" [[
add_library(codec_objects OBJECT ${nothing})
set_target_properties(codec_objects PROPERTIES LINKER_LANGUAGE NONE)
target_link_libraries(codec_objects INTERFACE PkgConfig::FFMPEG)
target_sources(desktop INTERFACE $<$<CONFIG:Debug>:$<TARGET_OBJECTS:codec_objects>>)
]])
forbidden(l_flag_of_the_table "net links viewmodel" [[target_link_libraries(net PRIVATE -lviewmodel)]])
forbidden(l_flag_of_a_file_name "net links feedback" [[
set_target_properties(feedback PROPERTIES OUTPUT_NAME lumivista_feedback)
target_link_libraries(net PRIVATE -llumivista_feedback)
]])
forbidden(l_file_flag_of_the_table "componentmodel links gui" [[target_link_options(componentmodel INTERFACE LINKER:-l:libgui.so)]])
forbidden(link_flags_of_the_table "desktop links feeds" [[set_target_properties(desktop PROPERTIES LINK_FLAGS_DEBUG "-Wl,--no-undefined -lfeeds")]])
forbidden(imported_link_interface "net links feedback" [[
add_library(Old::bridge SHARED IMPORTED)
set_target_properties(Old::bridge PROPERTIES IMPORTED_CONFIGURATIONS RELEASE
  IMPORTED_LOCATION_RELEASE /opt/old/libbridge.so IMPORTED_LINK_INTERFACE_LIBRARIES_RELEASE feedback)
target_link_libraries(net PRIVATE Old::bridge)
]])
forbidden(tool "kestrel_make_show links viewmodel" [[target_link_libraries(kestrel_make_show PRIVATE viewmodel)]])
forbidden(program "lumivista links kestrel" [[target_link_libraries(lumivista PRIVATE kestrel)]])
forbidden(target_outside_the_table "extra_tool links kestrel" [[
add_executable(extra_tool ${nothing})
set_target_properties(extra_tool PROPERTIES LINKER_LANGUAGE NONE)
target_link_libraries(extra_tool PRIVATE kestrel)
]])

# The media libraries, by every name.
forbidden(ffmpeg_target "multimedia links PkgConfig::FFMPEG" [[target_link_libraries(multimedia PRIVATE PkgConfig::FFMPEG)]])
forbidden(lame_target "show_maker links Lame::mp3lame" [[target_link_libraries(show_maker PRIVATE Lame::mp3lame)]])
forbidden(jpeg_target "viewmodel links PkgConfig::JPEG" [[target_link_libraries(viewmodel PRIVATE PkgConfig::JPEG)]])
forbidden(exif_target "app links PkgConfig::EXIF" [[target_link_libraries(app PRIVATE PkgConfig::EXIF)]])
forbidden(plain_name "gui links avcodec" [[target_link_libraries(gui PRIVATE avcodec)]])
forbidden(lame_name "gui links mp3lame" [[target_link_libraries(gui PRIVATE mp3lame)]])
forbidden(jpeg_name "gui links jpeg" [[target_link_libraries(gui PRIVATE jpeg)]])
forbidden(exif_name "gui links exif" [[target_link_libraries(gui PRIVATE exif)]])
forbidden(l_flag "gui links -lavformat" [[target_link_libraries(gui PRIVATE -lavformat)]])
forbidden(l_file_flag "gui links libswscale.so.6" [[target_link_libraries(gui PRIVATE -l:libswscale.so.6)]])
forbidden(linker_flag_list "gui links -lswresample" [[target_link_libraries(gui PRIVATE -Wl,--as-needed,-lswresample)]])
forbidden(file_path "gui links /usr/lib/x86_64-linux-gnu/libavutil.so.57"
  [[target_link_libraries(gui PRIVATE /usr/lib/x86_64-linux-gnu/libavutil.so.57)]])
forbidden(link_option "net links -lmp3lame" [[target_link_options(net PRIVATE -lmp3lame)]])
forbidden(link_flags "gui links -lavcodec" [[set_target_properties(gui PROPERTIES LINK_FLAGS "-lavcodec")]])
forbidden(link_option_in_a_shell_group "feeds links -lexif" [[target_link_options(feeds PUBLIC "SHELL:-Wl,--as-needed -lexif")]])
forbidden(media_in_a_condition "net links -ljpeg" [[target_link_libraries(net PRIVATE "$<$<BOOL:1>:-ljpeg>")]])
forbidden(imported_target_of_another_name "net links /usr/lib/libavcodec.so" [[
add_library(PkgConfig::AV INTERFACE IMPORTED)
set_target_properties(PkgConfig::AV PROPERTIES INTERFACE_LINK_LIBRARIES /usr/lib/libavcodec.so)
target_link_libraries(net PRIVATE PkgConfig::AV)
]])
forbidden(imported_location "net links /opt/lame/libmp3lame.a" [[
add_library(Other::lame STATIC IMPORTED)
set_target_properties(Other::lame PROPERTIES IMPORTED_CONFIGURATIONS RELEASE
  IMPORTED_LOCATION_RELEASE /opt/lame/libmp3lame.a)
target_link_libraries(net PRIVATE Other::lame)
]])
forbidden(helper_library_between "net links PkgConfig::FFMPEG" [[
add_library(codec_glue STATIC ${nothing})
set_target_properties(codec_glue PROPERTIES LINKER_LANGUAGE NONE)
target_link_libraries(codec_glue PRIVATE PkgConfig::FFMPEG)
target_link_libraries(net PRIVATE codec_glue)
]])

if(failures)
  message(FATAL_ERROR "${failures}")
endif()
