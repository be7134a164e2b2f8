# The program itself: the start-up library (app/), the executable made of
# main.cpp, and beside it the folder "translation" with the program's
# catalogues (built from translation/*.ts by lrelease) and Qt's own.
add_subdirectory(app)
list(APPEND LUMIVISTA_QT_FOLDERS app)

add_executable(lumivista main.cpp)
target_link_libraries(lumivista PRIVATE app)
target_compile_options(lumivista PRIVATE -Wall -Wextra)

set(LUMIVISTA_TRANSLATION_DIR ${CMAKE_BINARY_DIR}/bin/translation)
file(GLOB LUMIVISTA_TS_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/translation/*.ts)
set_source_files_properties(${LUMIVISTA_TS_FILES} PROPERTIES OUTPUT_LOCATION ${LUMIVISTA_TRANSLATION_DIR})
qt_add_lrelease(lumivista TS_FILES ${LUMIVISTA_TS_FILES} OPTIONS -silent)

# Qt's catalogue "qt_<locale>" loads the module catalogues it names.
set(qt_translations ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_TRANSLATIONS})
file(GLOB qt_catalogues ${qt_translations}/qt_*.qm ${qt_translations}/qtbase_*.qm
  ${qt_translations}/qtmultimedia_*.qm)
list(FILTER qt_catalogues EXCLUDE REGEX "/qt_help_[^/]*$")
if(qt_catalogues)
  add_custom_target(lumivista_qt_translations
    COMMAND ${CMAKE_COMMAND} -E make_directory ${LUMIVISTA_TRANSLATION_DIR}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${qt_catalogues} ${LUMIVISTA_TRANSLATION_DIR}
    COMMENT "Qt's translations beside the program")
  add_dependencies(lumivista lumivista_qt_translations)
else()
  message(STATUS "Qt's translations are not installed (qt6-translations-l10n): Qt's own texts stay English")
endif()
