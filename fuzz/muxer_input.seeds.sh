#!/bin/sh
# Seeds for muxer_input: for every container, a key picture and a few more
# pictures and sound packets with rising stamps, in the target's record
# layout (see muxer_input.cpp); and stamps the muxer must refuse, which once
# made FFmpeg abort or write gigabytes. Usage: muxer_input.seeds.sh <folder>
set -eu
out=$1
mkdir -p "$out"

byte() { printf "\\$(printf %03o $(($1 & 255)))"; }
u16() { byte "$1"; byte $(($1 >> 8)); }
i32() { u16 $(($1 & 65535)); u16 $((($1 >> 16) & 65535)); }
# record <stream> <flags> <pts> <dts> <duration> <time base den> <payload as printf text>
record() {
    payload=$(printf "$7" | od -An -v -tx1 | tr -d ' \n')
    byte "$1"; byte "$2"; i32 "$3"; i32 "$4"; u16 "$5"; u16 "$6"
    u16 $((${#payload} / 2))
    printf "$7"
}
picture='\000\000\000\001\145\210\204\000\063\377\376\367\000\000\003\000'
sound='\377\373\220\144\000\000\000\000\000\000\000\000\000\000\000\000'

container=0
while [ $container -lt 7 ]; do
    {
        byte $container
        record 0 1 0 0 1 25 "$picture"
        record 1 1 0 0 1152 44100 "$sound"
        record 0 0 1 1 1 25 "$picture"
        record 1 1 1152 1152 1152 44100 "$sound"
        record 0 0 2 2 1 25 "$picture"
    } > "$out/container-$container.bin"
    container=$((container + 1))
done

# mp4, one non-key picture shown 2^31 ticks of the stream's 1/12800 after
# it is decoded: the offset wrapped in FFmpeg's 32 bits and its mov muxer
# aborted the process in the trailer (18 bytes).
{ byte 0; record 0 0 4194305 1 1 25 't'; } > "$out/mp4-offset-wraps.bin"
# mp4, one picture shown long before it is decoded, far from 0.
{ byte 0; record 0 0 131072 1979711488 0 6400 't'; } > "$out/mp4-pts-below-dts.bin"
# avi, pictures and sound each decoded more than an hour after the one
# before: AVI's muxer fills such a gap with an empty frame a tick, which
# turned a few kilobytes into gigabytes.
{
    byte 2
    record 0 1 0 0 1 25 "$picture"
    record 1 1 0 0 1152 44100 "$sound"
    record 0 0 3601 3601 1 1 "$picture"
    record 1 1 158804100 158804100 1152 44100 "$sound"
    record 0 0 3601 3601 1 1 "$picture"
} > "$out/avi-jumps-past-the-hour.bin"
# avi, pictures 40 minutes apart: each jump within the hour, together past
# it; such jumps once gave 1.4 GB of 21 KB.
{
    byte 2
    record 0 1 0 0 1 25 "$picture"
    record 0 0 60000 60000 1 25 "$picture"
    record 0 0 120000 120000 1 25 "$picture"
    record 0 0 180000 180000 1 25 "$picture"
} > "$out/avi-jumps-of-40-minutes.bin"
