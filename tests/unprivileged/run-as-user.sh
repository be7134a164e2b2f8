#!/bin/sh
# Runs a test program as an ordinary user (nobody) where the suite runs as
# root: the superuser reads, enters and writes every folder, so the tests of
# what a user may not do would see nothing there and skip. As an ordinary
# user already, runs it as it is.
#
#   run-as-user.sh EXPECTED PROGRAM [ARGUMENTS...]
#
# Fails when the program fails, when a test skips or when not exactly
# EXPECTED tests passed (a test renamed out of the filter), so that the run
# never passes having tried nothing. Exits 77, which the suite shows as a
# skip with the line why, only where no ordinary user can run it here.
set -u
expected=$1
shift

as_user=""
if [ "$(id -u)" -eq 0 ]; then
    if ! command -v setpriv >/dev/null 2>&1; then
        echo "cannot run as an ordinary user: setpriv (util-linux) is missing"
        exit 77
    fi
    if ! id nobody >/dev/null 2>&1 || ! getent group nogroup >/dev/null 2>&1; then
        echo "cannot run as an ordinary user: no user nobody or group nogroup"
        exit 77
    fi
    as_user="setpriv --reuid=nobody --regid=nogroup --clear-groups"
    if ! $as_user test -x "$1"; then
        echo "cannot run as an ordinary user: nobody may not run $1 (a folder on its way is closed to others)"
        exit 77
    fi
fi

# Temporary files and a home of the user's own.
scratch=$(mktemp -d) || exit 1
output="$scratch.out"
trap 'rm -rf "$scratch" "$output"' EXIT
[ -z "$as_user" ] || chown nobody:nogroup "$scratch" || exit 1
TMPDIR=$scratch HOME=$scratch $as_user "$@" >"$output" 2>&1
status=$?
cat "$output"
if [ "$status" -ne 0 ]; then
    exit "$status"
fi
if grep -q "SKIP" "$output"; then
    echo "a test skipped as an ordinary user"
    exit 1
fi
if ! grep -Eq "^\[  PASSED  \] $expected tests?\.$" "$output"; then
    echo "not exactly $expected tests passed as an ordinary user"
    exit 1
fi
