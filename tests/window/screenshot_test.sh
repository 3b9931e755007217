#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Starts the program on the X server of DISPLAY (with_xvfb.sh gives it one of its own), saves a PNG
# of its window and fails when the picture is blank. Usage: screenshot_test.sh PROGRAM OUTPUT.png
set -euo pipefail
program=$1
output=$2
. "$(dirname "$0")/test_support.sh"
make_work

"$program" &
app_pid=$!
at_exit end_process "$app_pid"
for _ in $(seq 100); do
  sleep 0.1
  import -window root "$work/root.png" 2>/dev/null || continue
  spread=$(convert "$work/root.png" -format '%[fx:standard_deviation]' info:)
  if awk -v s="$spread" 'BEGIN { exit !(s > 0.05) }'; then
    convert "$work/root.png" -crop 250x210+0+0 +repage "$output"
    echo "saved $output (spread of grey levels $spread)"
    exit 0
  fi
done
echo "the window's picture stayed blank"
exit 1
