#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Starts the real program on the test desktop and ends it the ways a user would, checking from
# outside that its windows appear and go and that it exits cleanly.
set -euo pipefail
ringlo=$1
if [ -z "${DISPLAY:-}" ]; then
    echo "No X display: skipped (scripts/test provides one)." >&2
    exit 77
fi

pid=
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; true' EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Prints the id of the process's visible window with this title, waiting up to 5 s for it.
window_of() {
    for _ in $(seq 50); do
        id=$(xdotool search --onlyvisible --pid "$pid" --name "^$1\$" 2>/dev/null | head -n1 || true)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    return 1
}

start() {
    "$ringlo" 2>"$scratch/stderr" &
    pid=$!
    main=$(window_of 'Ringlo \(PC\)') || fail "the main window did not appear"
}

# Waits up to 5 s for the program to end and checks that it ended well.
expect_exit() {
    for _ in $(seq 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$pid" 2>/dev/null && fail "still running after $1"
    status=0
    wait "$pid" || status=$?
    pid=
    [ "$status" -eq 0 ] || fail "exit status $status after $1"
}

scratch=$(mktemp -d)
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$scratch"' EXIT

# "Avsluta" from the menu, opened with the mouse as a user would.
start
xdotool mousemove --window "$main" 15 9 click 1
sleep 0.5
xdotool key Up Return
expect_exit '"Avsluta"'

# The main window's close box while the set-alarm window is open: both go.
start
xdotool mousemove --window "$main" 100 200 click --repeat 2 --delay 80 1
window_of 'Ställ in alarm' >/dev/null || fail "a double-click did not open the set-alarm window"
wmctrl -i -c "$main"
expect_exit "closing the main window"

# The close box when the set-alarm window was never opened.
start
wmctrl -i -c "$main"
expect_exit "closing the main window without the set-alarm window"

echo "the program started, showed its windows and ended cleanly three times"
