#!/bin/sh
# Seeds for jpeg_road: small JPEG files made by the seed maker built with the
# targets: baseline, progressive, each EXIF orientation, a tag kept past
# later segments, a sliver stretched past the size limit, restart markers,
# a truncated file, greyscale, CMYK and YCCK.
# Usage: jpeg_road.seeds.sh <folder>
set -eu
mkdir -p "$1"
"${KESTREL_FUZZ_BIN:-build/fuzz/bin}/jpeg_seeds" road "$1"
