#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Starts the built program the way a user would and checks how it starts: Qt's command-line options
# change nothing, Qt's environment variables still apply, and a display that does not answer is
# reported in one line with status 1 instead of an abort. Usage: program_start_test.sh PROGRAM
set -uo pipefail
program=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/test_support.sh"

# A display number with no X server behind it.
dead=50
while [ -e "/tmp/.X11-unix/X$dead" ] || [ -e "/tmp/.X$dead-lock" ]; do dead=$((dead + 1)); done
output=$(env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=":$dead" "$program" 2>&1)
status=$?
[ "$status" -eq 1 ] || fail "with a display that does not answer the status is $status, not 1"
# Only the program's own line, none of Qt's about connecting or its platform plugin.
expected_line="quillmere: cannot open the display (DISPLAY=\":$dead\"): no window system answers there; quillmere is a desktop program: start it in a graphical session."
[ "$output" = "$expected_line" ] ||
  fail "with a display that does not answer it says $(wc -l <<<"$output") line(s): $output"

# Qt's messages of a start that succeeds still show, once the start is through.
output=$("$here/with_xvfb.sh" env QT_LOGGING_RULES=qt.qpa.plugin.debug=true timeout 2 "$program" 2>&1)
grep -q 'Attempting to load Qt platform plugin "xcb"' <<<"$output" ||
  fail "Qt's messages of a start that succeeds do not show: $output"

output=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" 2>&1)
status=$?
[ "$status" -eq 1 ] || fail "without a display the status is $status, not 1"
[ "$(wc -l <<<"$output")" -eq 1 ] || fail "without a display it says more than one line: $output"

# Starts a command (the program, maybe with arguments), waits up to SECONDS for a window of it to
# show on the X server of DISPLAY, and prints the window's title and geometry, or "none".
# Usage: probe SECONDS COMMAND [ARG...]
probe() {
  local tenths=$(($1 * 10))
  shift
  "$@" >/dev/null 2>&1 &
  local pid=$! found=none window title
  for _ in $(seq "$tenths"); do
    sleep 0.1
    for window in $(xdotool search --pid "$pid" 2>/dev/null); do
      title=$(LC_ALL=C.UTF-8 xprop -id "$window" -notype _NET_WM_NAME | sed 's/^[^=]*= //')
      [ "$title" = '"quillmere"' ] && continue # Qt's hidden client leader window
      found="$title $(xdotool getwindowgeometry "$window" | tr -s ' \n' ' ')"
    done
    [ "$found" != none ] && break
  done
  kill -0 "$pid" 2>/dev/null || found="$found (exited)"
  kill "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  echo "$found"
}
export -f probe

expected='"Verschlüsselungsdemo" Window *Position: 0,0 (screen: 0) Geometry: 250x210 '
for options in "-qwindowtitle Fremd -qwindowgeometry 90x60+7+7 -style windows" "-platform offscreen"; do
  # shellcheck disable=SC2086 # the options are words
  seen=$("$here/with_xvfb.sh" bash -c 'probe "$@"' probe 20 "$program" $options)
  # shellcheck disable=SC2053 # the expectation is a pattern
  [[ "$seen" == $expected ]] || fail "$options took effect: $seen"
done

seen=$("$here/with_xvfb.sh" env QT_QPA_PLATFORM=offscreen bash -c 'probe "$@"' probe 3 "$program")
[ "$seen" = none ] || fail "QT_QPA_PLATFORM=offscreen was not heeded: $seen"

[ "$failures" -eq 0 ] && echo "program start: all checks passed"
exit "$failures"
