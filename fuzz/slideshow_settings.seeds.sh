#!/bin/sh
# Seeds for slideshow_settings: a slide count byte, then "key=value" lines
# as the settings view, the presets and a hand-made map write them.
# Usage: slideshow_settings.seeds.sh <folder>
set -eu
out=$1
mkdir -p "$out"
seed() { name=$1; shift; printf "$@" > "$out/$name.txt"; }

seed view '\003slide-duration=6\ntransition-duration=1.2\nalign-to-audio=0\nken-burns=1\nframe-aspect=1.3333333333333333\n'
seed preset '\002video-frame-rate=25\nframe-height=180\nframe-aspect=71/40\nslide-duration=1\ntransition-duration=0.4\n'
seed aligned '\005align-to-audio=1\nslide-duration=2,5\ntransition-duration=3\nframe-height=64\nframe-aspect=16/9\n'
seed odd '\001slide-duration=0\ntransition-duration=0\nframe-aspect=16/0\nframe-height=-2\nken-burns=+1\n'
seed refused '\004video-frame-rate=29,97\nframe-height=480.5\nslide-duration=nan\n'
seed large '\007slide-duration=86400\ntransition-duration=1e300\nvideo-frame-rate=1e-300\n'
