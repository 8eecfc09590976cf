#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# An armed alarm keeps the desktop session from suspending the PC, under GNOME's session manager and
# Xfce's power manager on private session and system buses; and its first ring wakes the screen.
set -euo pipefail
[ -n "${RINGLO_OWN_MOUNTS:-}" ] || exec env RINGLO_OWN_MOUNTS=1 unshare -m dbus-run-session -- "$0" "$@"
ringlo=$1 config=$2 dpms_capable=$3
. "$(dirname "$0")/desktop-lib.sh"
use_zone Etc/UTC
start_server dbus-daemon --session --nofork --address="unix:path=$scratch/system_bus"
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$scratch/system_bus
# Nothing of this machine's own session may start: no autostart folder, an empty session.
mkdir -p "$scratch/config" "$scratch/data/gnome-session/sessions"
printf '[GNOME Session]\nName=Ringlo\nRequiredComponents=\n' >"$scratch/data/gnome-session/sessions/ringlo.session"
export XDG_CONFIG_DIRS=$scratch/config XDG_CONFIG_HOME=$scratch/config

# Armed for 08:00, then for 07:30, due fifteen seconds after the start and left alone. $1 names
# the desktop, $2 asks it whether anything holds it from suspending, $3 checks more while armed.
road() {
    start_and_arm "2026-12-08 07:29:45" "08:00"
    arm "07:30"
    expect_output "(true,)" "an armed alarm did not keep $1 from suspending" "$2"
    "$3"
    sleep_ms $(($(real_ms "2026-12-08 07:30:00") - $(now_ms) - 400))
    idle=$(xprintidle)
    window_of 'Nu är det dags' 30 >/dev/null || fail "the alarm did not ring"
    woken=$(xprintidle)
    sleep 2.2
    later=$(xprintidle)
    echo "$1: idle $idle ms before the ring, $woken ms after it, $later ms two rings later"
    [ "$idle" -gt 1000 ] && [ "$woken" -lt 1000 ] || fail "the ring did not wake the screen"
    [ "$later" -gt $((woken + 1500)) ] || fail "the rings after the first kept the screen awake"
    xdotool mousemove --window "$form2" 76 188 click 1
    expect_output "(false,)" "the stop did not let $1 suspend again" "$2"
    choose_avsluta "$main"
    expect_exit '"Avsluta"'
}

sm() { gdbus call --session -d org.gnome.SessionManager -o "${2:-/org/gnome/SessionManager}" -m "org.gnome.SessionManager$1" "${@:3}"; }
gnome_suspends() { sm .IsInhibited "" 4; }
# Suspend only, not idleness (8), so that the screen still blanks and locks; one hold, for 07:30.
gnome_holds_what_it_should() {
    [ "$(sm .IsInhibited "" 8)" = "(false,)" ] || fail "an armed alarm kept the screen from blanking"
    [ "$(sm .Inhibitor.GetReason "$(sm .GetInhibitors | grep -o '/org[^,]*Inhibitor[0-9]*')")" = \
        "('Alarm inställt på 07:30',)" ] || fail "not one hold, for the latest time"
}
XDG_DATA_DIRS=$scratch/data:/usr/share start_server /usr/libexec/gnome-session-binary --builtin --session=ringlo
gnome_session=$!
expect_output "(false,)" "GNOME's session manager did not start" gnome_suspends
road GNOME gnome_suspends gnome_holds_what_it_should
kill "$gnome_session"

# Xfce's power manager asks upower and logind; without DPMS (Xvfb) it crashes at a release.
start_server /usr/bin/python3 -m dbusmock --system --template upower
start_server /usr/bin/python3 -m dbusmock --system --template logind
LD_PRELOAD=$dpms_capable start_server xfce4-power-manager --no-daemon
xfce_suspends() { gdbus call --session -d org.freedesktop.PowerManagement -o /org/freedesktop/PowerManagement/Inhibit -m org.freedesktop.PowerManagement.Inhibit.HasInhibit; }
expect_output "(false,)" "Xfce's power manager did not start" xfce_suspends
road Xfce xfce_suspends true

echo "held from the arming to the stop, for the latest time, under GNOME and Xfce; woke the screen once"
