#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Starts the installed Windows program under wine on the X server of DISPLAY (with_xvfb.sh gives it
# one of its own), in a wine prefix of its own with its own wineserver: wine's clipboard bridge
# belongs to the display that the first wine process of a prefix saw. Then uses it as a user would
# with xdotool: checks the title and size of the window, unlocks it with the access code, hides a
# message and reveals it again, and closes it. With a third argument, saves a picture of the window
# at start there. QUILLMERE_WINEPREFIX names a prefix (with its server running) to use instead of a
# new one. Usage: wine_program_test.sh FOLDER [PROGRAM] [PICTURE.png]
set -uo pipefail
. "$(dirname "$0")/test_support.sh"
folder=$1
program=${2:-quillmere.exe}
picture=${3:-}
make_work
export WINEPREFIX=${QUILLMERE_WINEPREFIX:-$work/prefix} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset QT_QPA_PLATFORM # the program chooses its platform itself; with_xvfb.sh sets it for Qt on X11
if [ -z "${QUILLMERE_WINEPREFIX:-}" ]; then
  at_exit end_wineserver
  start_wine_prefix
fi
# Ended at exit by the PID app_pid holds then: it is emptied once the program has ended and been
# waited for.
app_pid=
at_exit eval 'end_process "$app_pid"'
(cd "$folder" && exec wine "./$program") </dev/null >"$work/program.log" 2>&1 &
app_pid=$!

# Returns the X window whose title is exactly $1 (a regular expression), waiting up to 60 s.
find_window() {
  local window
  for _ in $(seq 600); do
    window=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)
    [ -n "$window" ] && { echo "$window"; return 0; }
    sleep 0.1
  done
  return 1
}
# Waits up to 10 s for the title of window $1 to become $2; prints the title it has at the end.
title_becomes() {
  local title
  for _ in $(seq 100); do
    title=$(xdotool getwindowname "$1")
    [ "$title" = "$2" ] && break
    sleep 0.1
  done
  echo "$title"
}

window=$(find_window '^Verschlüsselungsdemo$') || {
  fail "no window titled \"Verschlüsselungsdemo\" within 60 s"
  cat "$work/program.log"
  exit 1
}
geometry=$(xdotool getwindowgeometry "$window" | sed -n 's/^ *Geometry: //p')
[ "$geometry" = 250x210 ] || fail "the window is $geometry, not 250x210"
if [ -n "$picture" ]; then
  sleep 1 # the first paint
  import -window "$window" "$picture" || fail "no picture of the window"
fi

# Clicks at x, y of the window's client area (pixels: twips / 15).
click() { xdotool mousemove --window "$window" "$1" "$2" click 1; sleep 0.3; }
click 60 136 # Command3, "Originaltext": the plain cover text
click 84 195 # Text3, the access code box
xdotool type --delay 30 TULPEN
click 170 155 # Text2, the message box
xdotool type --delay 30 abc
click 60 156 # Command2, "verschlüsseln"
abc_bits=011000010110001001100011
title=$(title_becomes "$window" "$abc_bits")
[ "$title" = "$abc_bits" ] || fail "after hiding \"abc\" the title is \"$title\", not $abc_bits"
click 60 176 # Command1, "entschlüsseln"
sleep 1
all_bits=${abc_bits}0000000000000000000000000000000000 # the 58 gaps of the plain cover text
title=$(title_becomes "$window" "$all_bits")
[ "$title" = "$all_bits" ] || fail "after revealing, the title is \"$title\", not $all_bits"

# The close box (here the window manager's close request) ends the program at once.
click 120 100 # into Text1, so that the window has the keyboard
xdotool key alt+F4
for _ in $(seq 100); do
  kill -0 "$app_pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$app_pid" 2>/dev/null; then
  fail "the program still runs after its window was closed"
else
  wait "$app_pid" || fail "the program ended with status $?"
  app_pid=
fi

[ "$failures" -eq 0 ] && echo "program under wine: title, size, hide and reveal as expected"
exit "$failures"
