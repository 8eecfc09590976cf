#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The whole road of an alarm in the real program on the test desktop, with the wall clock moved by
# libfaketime and the tone captured to WAV files: typed in, rung on time above the other windows
# without taking the focus, rung on when the clock is stepped back, and stopped; a morning alarm
# armed in the evening that stays quiet; a machine asleep across the due moment; a new time zone.
set -euo pipefail
[ -n "${RINGLO_OWN_MOUNTS:-}" ] || exec env RINGLO_OWN_MOUNTS=1 unshare -m dbus-run-session -- "$0" "$@"
ringlo=$1
config=$2
. "$(dirname "$0")/desktop-lib.sh"
tones() { find "$scratch" -name 'tone.wav*' | wc -l; }

# The notification server, whose context menu is answered by choosing "Stoppa Alarm!".
printf '[global]\ndmenu = grep -m1 "Stoppa Alarm!"\nstack_duplicates = false\n' >"$scratch/dunstrc"
setpriv --pdeathsig TERM dunst -config "$scratch/dunstrc" >/dev/null 2>&1 &
expect_notices() { expect_output "$1" "$2" dunstctl count displayed; }

use_zone Etc/UTC

# Due eight seconds after the start, time enough to arm on a busy machine; a server that reads
# markup must show the message as typed.
start_and_arm "2026-12-08 07:29:52" "07:30" "Vakna <b>nu</b> &amp;"
[ "$(tones)" -eq 0 ] || fail "a tone before the alarm was due"
due=$(real_ms "2026-12-08 07:30:00")
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
expect_notices 1 "not one notice while ringing"
size=$(stat -c %s "$scratch/tone.wav")
# 500 ms of 16-bit mono at 48 kHz behind a 44-byte header.
[ "$size" -eq 48044 ] || fail "the first tone's file has $size bytes"

# The clock stepped back before the due moment (by hand, or NTP correcting a fast clock): it rings on.
set_clock "2026-12-08 07:10:00"
sleep 2.2
[ $(($(tones) - count)) -ge 2 ] || fail "a clock stepped back silenced the alarm"
window_of 'Nu är det dags' 1 >/dev/null || fail "a clock stepped back hid the ringing window"

xdotool mousemove --window "$form2" 76 188 click 1
expect_unmapped "$form2" "stopping did not hide the window"
xprop -id "$form2" _NET_WM_NAME | grep -q 'Nu är det dags' || fail "the title did not stay"
stopped=$(tones)
sleep 2.2
[ "$(tones)" -eq "$stopped" ] || fail "tones after the stop"
expect_notices 0 "the notice stayed after the stop"
dunstctl history | grep -qF '"data" : "Vakna &lt;b&gt;nu&lt;/b&gt; &amp;amp;"' ||
    fail "dunst, which reads links in the body, got the message unescaped"
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

# Asleep across the due moment (the program stopped while its clock passes it): it rings at the
# first tick after waking.
rm -f "$scratch"/tone.wav*
start_and_arm "2026-12-08 07:29:56" "07:30"
kill -STOP "$pid"
asleep=$((started + 5500 - $(now_ms)))
[ "$asleep" -ge 1500 ] || fail "arming took too long to sleep across the due moment"
sleep_ms "$asleep"
woke=$(now_ms)
kill -CONT "$pid"
window_of 'Nu är det dags' 30 >/dev/null || fail "did not ring after waking"
late=$(($(now_ms) - woke))
echo "rang $late ms after waking"
[ "$late" -le 1100 ] || fail "rang $late ms after waking"
expect_notices 1 "no notice after waking"
dunstctl context
expect_unmapped "$form2" "the notice's stop did not hide the window"
choose_avsluta "$main"
expect_exit '"Avsluta"'

# The zone changes under a waiting alarm (a laptop that travels): the clock follows at once, and
# the alarm rings when it reads the armed time. London reads UTC in December, Stockholm an hour on.
expect_ring_at() {
    window_of 'Nu är det dags' 50 >/dev/null || fail "did not ring in $2"
    late=$(($(now_ms) - $(real_ms "$1")))
    echo "rang in $2 when the clock read $(date -d @$(($(now_ms) / 1000 + offset)) +%T), $late ms late"
    [ "$late" -ge -100 ] && [ "$late" -le 1100 ] || fail "rang in $2 $late ms late"
    choose_avsluta "$main"
    expect_exit '"Avsluta"'
    expect_notices 0 "the notice outlived the program"
}
# Armed 07:30 in Stockholm; the zone becomes London: no ring at 06:30 there, but at 07:30.
use_zone Europe/Stockholm
start_and_arm "2026-12-08 06:29:53" "07:30"
use_zone Europe/London
sleep $((($(real_ms "2026-12-08 06:30:02") - $(now_ms)) / 1000))
window_of 'Nu är det dags' 1 >/dev/null && fail "rang at 06:30 London time, an hour early"
set_clock "2026-12-08 07:29:58"
expect_ring_at "2026-12-08 07:30:00" London
# Armed 07:30 in London; at 06:29:57 the zone becomes Stockholm, whose clock reads 07:29:57.
start_and_arm "2026-12-08 06:29:52" "07:30"
sleep $((($(real_ms "2026-12-08 06:29:57") - $(now_ms)) / 1000))
use_zone Europe/Stockholm
expect_ring_at "2026-12-08 06:30:00" Stockholm

echo "the alarm rang on time, kept above without the focus, rang on when the clock went back,"
echo "stopped, stayed quiet overnight, rang on waking, stopped from its notice, and kept to the zone"
