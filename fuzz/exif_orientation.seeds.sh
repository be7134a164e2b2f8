#!/bin/sh
# Seeds for exif_orientation: runs of APP segments with EXIF blocks in
# both byte orders, in the thumbnail's IFD, followed by segments without a
# tag, in segments the reader does not read, damaged and with a thumbnail.
# Usage: exif_orientation.seeds.sh <folder>
set -eu
mkdir -p "$1"
"${KESTREL_FUZZ_BIN:-build/fuzz/bin}/jpeg_seeds" exif "$1"
