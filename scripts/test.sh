#!/bin/sh
# Installs what is missing, builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer and runs every test; then builds the tests of
# threaded code with ThreadSanitizer and runs them; then builds everything as
# users build it, without a sanitizer, and runs every test once more (a
# sanitizer slows and reorders threads: what a faster build does shows only
# there); then builds the fuzz targets with clang and runs each once over
# its seeds.
set -eu
cd "$(dirname "$0")/.."

./scripts/install-deps.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1
# Libraries of the desktop (fontconfig, D-Bus) keep caches until exit.
export LSAN_OPTIONS=suppressions=$(pwd)/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Qt's libraries are not built for the race checker (tests/tsan.supp).
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$(pwd)/tests/tsan.supp

# The benchmarks too: the tests check that each answers --help.
cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DKESTREL_SANITIZE="address;undefined" -DBUILD_TESTING=ON -DKESTREL_BUILD_BENCH=ON >/dev/null
cmake --build build/asan -j "$jobs"
ctest --test-dir build/asan -j "$jobs" --output-on-failure --no-tests=error

cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DKESTREL_SANITIZE=thread -DKESTREL_THREADED_TESTS_ONLY=ON -DBUILD_TESTING=ON >/dev/null
cmake --build build/tsan -j "$jobs"
ctest --test-dir build/tsan -j "$jobs" --output-on-failure --no-tests=ignore

cmake -S . -B build/rel -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON >/dev/null
cmake --build build/rel -j "$jobs"
ctest --test-dir build/rel -j "$jobs" --output-on-failure --no-tests=error

FUZZ_JOBS=$jobs ./scripts/fuzz.sh --seeds-only
