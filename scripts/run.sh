#!/bin/sh
# Installs what is missing, builds the program (Release, without sanitizers
# or tests) and starts it. Arguments are passed on to the program.
# Without a display (no DISPLAY or WAYLAND_DISPLAY) it runs on a virtual
# X server (Xvfb), where its window cannot be seen but the program works.
set -eu
cd "$(dirname "$0")/.."

./scripts/install-deps.sh

cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DKESTREL_SANITIZE= -DBUILD_TESTING=OFF >/dev/null
cmake --build build/release -j "$(nproc)" --target lumivista

program=build/release/bin/lumivista
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: running on a virtual X server (xvfb-run)." >&2
    exec xvfb-run -a "$program" "$@"
fi
exec "$program" "$@"
