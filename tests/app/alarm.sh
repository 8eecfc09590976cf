#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The whole road of an alarm in the real program on the test desktop, with the wall clock moved by
# libfaketime and the tone captured to WAV files: typed in, rung on time above the other windows
# without taking the focus, and stopped; and a morning alarm armed in the evening that stays quiet.
set -euo pipefail
ringlo=$1
config=$2
. "$(dirname "$0")/desktop-lib.sh"
faketime_lib=$(find /usr/lib -name libfaketime.so.1 -path '*faketime*' | head -n1)
[ -n "$faketime_lib" ] || { echo "FAIL: libfaketime is not installed" >&2; exit 1; }

tones() { find "$scratch" -name 'tone.wav*' | wc -l; }

# Starts the program with its wall clock at the given local time, and arms an alarm as a user
# would: a double-click on the main window, the time typed over the placeholder, a message, a click.
start_and_arm() {
    local fake=$1 time=$2
    started=$(now_ms)
    TZ=UTC FAKETIME="@$fake" FAKETIME_DONT_FAKE_MONOTONIC=1 LD_PRELOAD="$faketime_lib" \
        ASAN_OPTIONS=verify_asan_link_order=0 ALSA_CONFIG_PATH="$config" \
        RINGLO_TONE_FILE="$scratch/tone.wav" "$ringlo" &
    pid=$!
    main=$(window_of 'Ringlo (PC)') || fail "the main window did not appear"
    double_click_main "$main"
    form2=$(window_of 'Ställ in alarm') || fail "a double-click did not open the set-alarm window"
    xdotool key --delay 20 ctrl+a
    xdotool type --delay 20 "$time"
    xdotool key Tab
    xdotool type --delay 20 "Vakna"
    xdotool mousemove --window "$form2" 76 188 click 1
    expect_unmapped "$form2" "arming did not hide the set-alarm window"
    echo "armed $time after $(($(now_ms) - started)) ms"
}

# Due four seconds after the start.
start_and_arm "2026-12-08 07:29:56" "07:30"
[ "$(tones)" -eq 0 ] || fail "a tone before the alarm was due"
due=$((started + 4000))
ringing=$(window_of 'Nu är det dags' 80) || fail "the alarm did not ring"
late=$(($(now_ms) - due))
echo "rang $late ms after the due moment"
[ "$late" -le 1000 ] || fail "rang $late ms late"
[ "$ringing" = "$form2" ] || fail "a different window rang"
xprop -id "$form2" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE || fail "not kept above"
sleep 0.3
[ "$(xdotool getwindowfocus)" = "$main" ] || fail "the ringing window took the focus"

sleep 2.2
count=$(tones)
echo "$count tones so far"
[ "$count" -ge 2 ] && [ "$count" -le 4 ] || fail "$count tones in about 2.5 s of ringing"
size=$(stat -c %s "$scratch/tone.wav")
# 500 ms of 16-bit mono at 48 kHz behind a 44-byte header.
[ "$size" -eq 48044 ] || fail "the first tone's file has $size bytes"

xdotool mousemove --window "$form2" 76 188 click 1
expect_unmapped "$form2" "stopping did not hide the window"
xprop -id "$form2" _NET_WM_NAME | grep -q 'Nu är det dags' || fail "the title did not stay"
stopped=$(tones)
sleep 2.2
[ "$(tones)" -eq "$stopped" ] || fail "tones after the stop"
# Shown again, the window is no longer kept above.
double_click_main "$main"
window_of 'Nu är det dags' >/dev/null || fail "the set-alarm window did not open again"
sleep 0.3
xprop -id "$form2" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE && fail "still kept above"
choose_avsluta "$main"
expect_exit '"Avsluta"'

# Armed in the evening for the morning: nothing rings.
rm -f "$scratch"/tone.wav*
start_and_arm "2026-12-08 21:59:57" "07:30"
sleep 4
window_of 'Nu är det dags' 1 >/dev/null && fail "an evening arm for the morning rang"
[ "$(tones)" -eq 0 ] || fail "an evening arm for the morning sounded"
choose_avsluta "$main"
expect_exit '"Avsluta"'

echo "the alarm rang on time, kept above without the focus, stopped, and stayed quiet overnight"
