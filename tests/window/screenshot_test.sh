#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Starts the program in a virtual X server on a free display, saves a PNG of its window and fails
# when the picture is blank. Usage: screenshot_test.sh PROGRAM OUTPUT.png
set -euo pipefail
program=$1
output=$2
work=$(mktemp -d)
xvfb_pid=
app_pid=
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
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
display=":$(head -n 1 "$work/display")"
[ "$display" != ":" ] || { echo "Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }

DISPLAY=$display "$program" &
app_pid=$!
for _ in $(seq 100); do
  sleep 0.1
  DISPLAY=$display import -window root "$work/root.png" 2>/dev/null || continue
  spread=$(convert "$work/root.png" -format '%[fx:standard_deviation]' info:)
  if awk -v s="$spread" 'BEGIN { exit !(s > 0.05) }'; then
    convert "$work/root.png" -crop 250x210+0+0 +repage "$output"
    echo "saved $output (spread of grey levels $spread)"
    exit 0
  fi
done
echo "the window's picture stayed blank"
exit 1
