#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Starts the real program on the test desktop and ends it the ways a user would, checking from
# outside that its windows appear and go and that it exits cleanly.
set -euo pipefail
ringlo=$1
. "$(dirname "$0")/desktop-lib.sh"

start() {
    "$ringlo" &
    pid=$!
    main=$(window_of 'Ringlo (PC)') || fail "the main window did not appear"
}

start
choose_avsluta "$main"
expect_exit '"Avsluta"'

# The main window's close box while the set-alarm window is open: both go.
start
double_click_main "$main"
window_of 'Ställ in alarm' >/dev/null || fail "a double-click did not open the set-alarm window"
wmctrl -i -c "$main"
expect_exit "closing the main window"

# The close box when the set-alarm window was never opened.
start
wmctrl -i -c "$main"
expect_exit "closing the main window without the set-alarm window"

echo "the program started, showed its windows and ended cleanly three times"
