# Every folder of the Qt side is a library of its own, built from the sources
# of that folder: lumivista_add_qt_library(<name> [libraries to link]).
function(lumivista_add_qt_library target)
  file(GLOB sources CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
    ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
  add_library(${target} SHARED ${sources})
  set_target_properties(${target} PROPERTIES AUTOMOC ON AUTORCC ON
    OUTPUT_NAME lumivista_${target})
  target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR})
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  target_link_libraries(${target} PUBLIC ${ARGN})
endfunction()
