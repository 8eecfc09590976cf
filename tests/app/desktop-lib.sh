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

# Starts a server for the test in the background; it is stopped when the test ends, if not before.
start_server() { setpriv --pdeathsig TERM "$@" >>"$scratch/servers.log" 2>&1 & }

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

now_ms() { date +%s%3N; }
sleep_ms() { sleep "$(($1 / 1000)).$(printf %03d $(($1 % 1000)))"; }

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

# Waits up to 3 s for a command to print exactly the expected text.
expect_output() {
    local expected=$1 message=$2
    shift 2
    for _ in $(seq 30); do [ "$("$@" 2>/dev/null)" = "$expected" ] && return; sleep 0.1; done
    fail "$message"
}

# The program's zone is /etc/localtime's (TZ is unset), over which a zone file is mounted. Its
# wall clock, read anew at every call, is an offset from the real one, which means the same in
# every zone. real_ms: the real moment at which the program's clock reads a UTC time.
use_zone() { umount /etc/localtime 2>/dev/null || true; mount --bind "/usr/share/zoneinfo/$1" /etc/localtime; }
clock_file=$scratch/faketime
set_clock() { offset=$(($(TZ=UTC0 date -d "$1" +%s) - $(date +%s))); printf '%+d\n' $offset >"$clock_file"; }
real_ms() { echo $((($(TZ=UTC0 date -d "$1" +%s) - offset) * 1000)); }

# Starts the program with its wall clock at the given local time, and arms an alarm.
start_and_arm() {
    local fake=$1
    shift
    set_clock "$fake"
    started=$(now_ms)
    local faketime_lib
    faketime_lib=$(find /usr/lib -name libfaketime.so.1 -path '*faketime*' | head -n1)
    [ -n "$faketime_lib" ] || fail "libfaketime is not installed"
    env -u TZ FAKETIME_TIMESTAMP_FILE="$clock_file" FAKETIME_NO_CACHE=1 \
        FAKETIME_DONT_FAKE_MONOTONIC=1 LD_PRELOAD="$faketime_lib" \
        ASAN_OPTIONS=verify_asan_link_order=0 ALSA_CONFIG_PATH="$config" \
        RINGLO_TONE_FILE="$scratch/tone.wav" "$ringlo" &
    pid=$!
    main=$(window_of 'Ringlo (PC)') || fail "the main window did not appear"
    arm "$@"
}

# Arms an alarm as a user would: a double-click on the main window, the time typed over what its
# field holds, a message (Vakna unless given), a click on the button.
arm() {
    local time=$1 message=${2:-Vakna}
    double_click_main "$main"
    form2=$(window_of 'Ställ in alarm') || fail "a double-click did not open the set-alarm window"
    xdotool mousemove --window "$form2" 60 33 click 1 key --delay 20 ctrl+a
    xdotool type --delay 20 "$time"
    xdotool key Tab ctrl+a
    xdotool type --delay 20 "$message"
    xdotool mousemove --window "$form2" 76 188 click 1
    expect_unmapped "$form2" "arming did not hide the set-alarm window"
    echo "armed $time after $(($(now_ms) - started)) ms"
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
