# SPDX-License-Identifier: MIT
# Shared by the scripts that drive the real program on the test desktop. The caller sets $pid to
# the program's process id once it has started it.

if [ -z "${DISPLAY:-}" ]; then
    echo "No X display: skipped (scripts/test provides one)." >&2
    exit 77
fi

pid=
scratch=$(mktemp -d)
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$scratch"' EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

now_ms() { date +%s%3N; }

# Prints the id of the program's visible window with exactly this title, waiting up to $2 tenths of
# a second (default 50). xdotool's own name matching is unsafe with non-ASCII titles.
window_of() {
    for _ in $(seq "${2:-50}"); do
        for id in $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null || true); do
            if [ "$(xprop -id "$id" _NET_WM_NAME 2>/dev/null)" = "_NET_WM_NAME(UTF8_STRING) = \"$1\"" ]; then
                echo "$id"
                return 0
            fi
        done
        sleep 0.1
    done
    return 1
}

# Waits up to 3 s for the window to be unmapped.
expect_unmapped() {
    for _ in $(seq 30); do
        xwininfo -id "$1" | grep -q IsUnMapped && return 0
        sleep 0.1
    done
    fail "$2"
}

# Double-clicks the main window's empty client area.
double_click_main() {
    xdotool mousemove --window "$1" 100 200 click --repeat 2 --delay 60 1
}

# Chooses "Avsluta": the menu opened with the mouse, its last item taken with the keyboard.
choose_avsluta() {
    xdotool mousemove --window "$1" 15 9 click 1
    sleep 0.4
    xdotool key Up Return
}

# Waits up to 5 s for the program to end and checks that it ended well.
expect_exit() {
    for _ in $(seq 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$pid" 2>/dev/null && fail "still running after $1"
    local status=0
    wait "$pid" || status=$?
    pid=
    [ "$status" -eq 0 ] || fail "exit status $status after $1"
}
