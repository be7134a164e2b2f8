#!/bin/sh
# Builds the fuzz targets (fuzz/) with clang's libFuzzer, AddressSanitizer
# and UndefinedBehaviorSanitizer in build/fuzz, makes their seeds with each
# target's <name>.seeds.sh, and runs the targets one after another:
#
#   scripts/fuzz.sh --seeds-only     every target once over its seeds (CI)
#   scripts/fuzz.sh [seconds] [name] every target (or one) fuzzed that long
#
# Fuzzing keeps what it learns in build/fuzz/corpus/<name>; inputs that
# crash, leak or hang land in build/fuzz/findings/<name>/.
set -eu
cd "$(dirname "$0")/.."

seconds=60
only=
case "${1:-}" in
    --seeds-only) seconds= ;;
    "") ;;
    *) seconds=$1; only=${2:-} ;;
esac

build=build/fuzz
# Where the seed scripts find the seed makers built with the targets.
export KESTREL_FUZZ_BIN=$(pwd)/$build/bin
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export LSAN_OPTIONS=suppressions=$(pwd)/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

CC=${CC:-clang-14} CXX=${CXX:-clang++-14} cmake -S . -B "$build" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTREL_FUZZ=ON \
    -DKESTREL_SANITIZE="address;undefined" -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target fuzz_targets -j "${FUZZ_JOBS:-$(nproc)}"

for generator in fuzz/*.seeds.sh; do
    name=$(basename "$generator" .seeds.sh)
    if [ -n "$only" ] && [ "$name" != "$only" ]; then
        continue
    fi
    program=$build/bin/fuzz_$name
    seeds=$build/seeds/$name
    rm -rf "$seeds"
    sh "$generator" "$seeds"
    if [ -z "$seconds" ]; then
        echo "== $name: $(ls "$seeds" | wc -l) seeds"
        "$program" -runs=0 -timeout=30 "$seeds"
        continue
    fi
    corpus=$build/corpus/$name
    findings=$build/findings/$name
    mkdir -p "$corpus" "$findings"
    echo "== $name: fuzzing for $seconds s"
    nice "$program" -max_total_time="$seconds" -timeout=30 -max_len=65536 \
        -artifact_prefix="$findings/" -print_final_stats=1 "$corpus" "$seeds"
done
