find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(Boost 1.74 REQUIRED COMPONENTS thread chrono system program_options regex serialization)

pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET
  libavformat libavcodec libavutil libswscale libswresample)
# Photos: libjpeg-turbo through its libjpeg 6.2 interface, EXIF tags through libexif.
pkg_check_modules(JPEG REQUIRED IMPORTED_TARGET libjpeg)
pkg_check_modules(EXIF REQUIRED IMPORTED_TARGET libexif)

# Sound output of the preview player: PortAudio through its C++ binding.
pkg_check_modules(PORTAUDIOCPP REQUIRED IMPORTED_TARGET portaudiocpp)

# The X connection, which the end lets go of even while a thread still
# waits in the kernel (app/EndBackstop.h).
pkg_check_modules(XCB REQUIRED IMPORTED_TARGET xcb)

# LAME ships no pkg-config file.
find_path(LAME_INCLUDE_DIR lame/lame.h REQUIRED)
find_library(LAME_LIBRARY mp3lame REQUIRED)
add_library(Lame::mp3lame UNKNOWN IMPORTED)
set_target_properties(Lame::mp3lame PROPERTIES
  IMPORTED_LOCATION ${LAME_LIBRARY} INTERFACE_INCLUDE_DIRECTORIES ${LAME_INCLUDE_DIR})

# The application side (toolkit, online services, application) is Qt 6.
find_package(Qt6 REQUIRED COMPONENTS
  Core Gui Widgets Qml Quick QuickWidgets DBus LinguistTools)
