# What `cmake --graphviz=<file.dot> <build folder>` draws: the program's own
# libraries and programs, and the libraries its media work stands on
# (FFmpeg, LAME, libjpeg, libexif, PortAudio); solid arrows are public links,
# dotted ones private (docs/ARCHITECTURE.md). Left out: Qt and Boost, which
# every Qt-side folder and the media library use, and the tests, benchmarks
# and fuzz targets.
set(GRAPHVIZ_GRAPH_NAME "lumivista")
set(GRAPHVIZ_GENERATE_PER_TARGET FALSE)
set(GRAPHVIZ_GENERATE_DEPENDERS FALSE)
set(GRAPHVIZ_IGNORE_TARGETS
  "^Qt6?::" "^Boost::" "^Wrap" "^OpenGL::" "^GTest::" "^Threads::" "^atomic$"
  # the files behind the pkg-config targets
  "^/"
  "_tests$" "^kestrel_test_" "^lumivista_qt_test_main$" "^lumivista_test_driver$" "_peer$"
  "_bench$" "^kestrel_bench_support$" "^fuzz_" "^kestrel_fuzz_support$" "^jpeg_seeds$")
