find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(Boost 1.74 REQUIRED COMPONENTS thread chrono system program_options regex)

pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET
  libavformat libavcodec libavutil libswscale libswresample)

# Sound output of the preview player: PortAudio through its C++ binding.
pkg_check_modules(PORTAUDIOCPP REQUIRED IMPORTED_TARGET portaudiocpp)

# The application side (toolkit, online services, application) is Qt 6.
find_package(Qt6 REQUIRED COMPONENTS
  Core Gui Widgets Qml Quick QuickWidgets Xml DBus Concurrent LinguistTools)
