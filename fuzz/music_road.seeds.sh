#!/bin/sh
# Seeds for music_road: short tones in every format of the music filter
# that FFmpeg can write, one file joined from two formats, and a film with
# sound. Usage: music_road.seeds.sh <folder>
set -eu
out=$1
mkdir -p "$out"
ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }
tone="sine=frequency=440:sample_rate=22050:duration=0.3"

ff -f lavfi -i "$tone" -ac 2 -c:a libmp3lame -b:a 32k "$out/tone.mp3"
ff -f lavfi -i "$tone" -c:a aac -b:a 32k -f mp4 "$out/tone.m4a"
ff -f lavfi -i "$tone" -c:a wmav2 -b:a 32k -f asf "$out/tone.wma"
ff -f lavfi -i "$tone" -c:a libvorbis -q:a 0 -f ogg "$out/tone.ogg"
ff -f lavfi -i "sine=frequency=440:sample_rate=8000:duration=0.2" -c:a pcm_s16le "$out/tone.wav"
ff -f lavfi -i "$tone" -c:a flac -f flac "$out/tone.flac"
ff -f lavfi -i "sine=frequency=660:sample_rate=11025:duration=0.3" -c:a libmp3lame -b:a 16k "$out/mono.mp3"
cat "$out/tone.mp3" "$out/mono.mp3" > "$out/joined.mp3"
ff -f lavfi -i "color=size=16x16:rate=5:duration=0.4" -f lavfi -i "$tone" \
   -c:v ffv1 -c:a flac -f matroska "$out/film.mkv"
