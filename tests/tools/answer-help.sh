#!/bin/sh
# Each program given answers --help and -h with its usage on standard
# output, nothing on standard error and exit status 0, and refuses an
# option it does not know on standard error, naming it, with nothing on
# standard output and exit status 64. Either answer comes at once, before
# any work: a program still running after 5 s (a benchmark's work takes
# minutes) is stopped and fails. The programs run in a scratch folder, also
# their TMPDIR, so that one that starts its work leaves nothing behind. An
# empty word (a program this build does not make) is passed over; with none
# left the check is skipped (exit status 77).
#
#   answer-help.sh PROGRAM...
set -u
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
out=$scratch/out
err=$scratch/err
mkdir "$scratch/work"
cd "$scratch/work" || exit 1
export TMPDIR="$scratch/work"
failed=0
checked=0

# Whether `program word` ended with `status` (0 or 64) and printed what it
# must; else says what it did.
answers() {
    timeout -k 2 5 "$program" "$1" >"$out" 2>"$err" </dev/null
    status=$?
    if [ "$2" -eq 0 ]; then
        [ "$status" -eq 0 ] && [ ! -s "$err" ] &&
            [ "$(head -c $((${#name} + 8)) "$out")" = "usage: $name " ] && return 0
        echo "$name $1: exit status $status, not 0 with its usage on standard output alone"
    else
        [ "$status" -eq 64 ] && [ ! -s "$out" ] && grep -q -- "$1" "$err" && return 0
        echo "$name $1: exit status $status, not 64 naming it on standard error alone"
    fi
    echo "  standard output:"; head -n 20 "$out" | sed 's/^/    /'
    echo "  standard error:"; head -n 20 "$err" | sed 's/^/    /'
    return 1
}

for program in "$@"; do
    [ -n "$program" ] || continue
    name=$(basename "$program")
    # One failure says enough of a program: the next would wait as long.
    answers --help 0 && answers -h 0 && answers --no-such-option 64 || failed=1
    checked=$((checked + 1))
done
if [ "$checked" -eq 0 ]; then
    echo "no program of this build given"
    exit 77
fi
echo "$checked programs checked"
exit "$failed"
