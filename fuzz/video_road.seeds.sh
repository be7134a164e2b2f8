#!/bin/sh
# Seeds for video_road: tiny clips in the containers and codecs a user's
# video may come in, with and without sound, with B-frames.
# Usage: video_road.seeds.sh <folder>
set -eu
out=$1
mkdir -p "$out"
ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }
pictures="testsrc=size=32x24:rate=10:duration=0.5"
tone="sine=frequency=440:sample_rate=22050:duration=0.5"

ff -f lavfi -i "$pictures" -f lavfi -i "$tone" -c:v libx264 -bf 2 -g 5 -pix_fmt yuv420p \
   -c:a aac -b:a 24k -f mp4 "$out/clip.mp4"
ff -f lavfi -i "$pictures" -c:v libx264 -bf 0 -pix_fmt yuv420p -f matroska "$out/silent.mkv"
ff -f lavfi -i "$pictures" -f lavfi -i "$tone" -c:v mpeg4 -c:a libmp3lame -b:a 16k \
   -f avi "$out/clip.avi"
ff -f lavfi -i "$pictures" -f lavfi -i "$tone" -c:v mpeg2video -c:a mp2 -b:a 32k \
   -f dvd "$out/clip.mpg"
ff -f lavfi -i "$pictures" -f lavfi -i "$tone" -c:v flv1 -c:a libmp3lame -ar 22050 -b:a 16k \
   -f flv "$out/clip.flv"
