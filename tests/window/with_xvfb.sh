#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a command against a virtual X server of its own on a free display, with DISPLAY set to it
# and Qt's platform set to xcb; exits with the command's status. Usage: with_xvfb.sh COMMAND [ARG...]
set -euo pipefail
work=$(mktemp -d)
xvfb_pid=
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# -displayfd makes the server pick a free display number and write it to the descriptor.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 400x300x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
[ -s "$work/display" ] || { echo "Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }

status=0
DISPLAY=":$(head -n 1 "$work/display")" QT_QPA_PLATFORM=xcb "$@" || status=$?
exit "$status"
