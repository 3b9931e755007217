#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a command against a virtual X server of its own on a free display, with DISPLAY set to it
# and Qt's platform set to xcb; exits with the command's status. Usage: with_xvfb.sh COMMAND [ARG...]
set -euo pipefail
. "$(dirname "$0")/test_support.sh"
make_work

# -displayfd makes the server pick a free display number and write it to the descriptor.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 400x300x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
at_exit end_process "$xvfb_pid"
exec 3>&-
await_server Xvfb "$work/xvfb.log" test -s "$work/display"

status=0
DISPLAY=":$(head -n 1 "$work/display")" QT_QPA_PLATFORM=xcb "$@" || status=$?
exit "$status"
