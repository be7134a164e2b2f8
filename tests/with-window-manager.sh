#!/bin/sh
# Starts a window manager on the X display of DISPLAY, waits until it
# manages the screen, then runs the command in its place. A window shown
# before the window manager has taken the screen is never managed (never
# framed, never made active), so waiting is part of the test. Bounded: a
# window manager that does not take the screen within 10 seconds, or that
# ends first, fails the run with what it said.
#
#   with-window-manager.sh <window manager> <command> [<argument>...]
set -u

if [ $# -lt 2 ]; then
    echo "usage: $0 <window manager> <command> [<argument>...]" >&2
    exit 2
fi
manager=$1
shift

said=$(mktemp)
start_manager() {
    "$manager" >>"$said" 2>&1 &
    manager_pid=$!
}
start_manager

fail() {
    echo "with-window-manager.sh: $manager $1; it said:" >&2
    cat "$said" >&2
    rm -f "$said"
    kill "$manager_pid" 2>/dev/null
    exit 1
}

# A window manager that manages the screen names its check window on the
# root window (_NET_SUPPORTING_WM_CHECK) once it has taken it. One that ends
# first (on a loaded machine it has been seen not to reach the display just
# started) is started again, three times at most.
deadline=$(($(date +%s) + 10))
starts=1
until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
    if ! kill -0 "$manager_pid" 2>/dev/null; then
        [ "$starts" -lt 3 ] || fail "ended $starts times before it managed the screen"
        starts=$((starts + 1))
        start_manager
    fi
    [ "$(date +%s)" -lt "$deadline" ] || fail "did not manage the screen within 10 seconds"
    sleep 0.05
done
rm -f "$said"
exec "$@"
