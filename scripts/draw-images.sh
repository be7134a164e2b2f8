#!/bin/sh
# Draws the application's images again into image/ (PNG files, committed).
# Needs the Qt 6 development packages; the drawing program is built in a
# scratch folder and removed afterwards.
set -eu
cd "$(dirname "$0")/.."
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
g++ -std=c++17 -O1 -fPIC image/draw/DrawImages.cpp -o "$scratch/draw-images" \
    $(pkg-config --cflags --libs Qt6Gui)
QT_QPA_PLATFORM=offscreen "$scratch/draw-images" image
