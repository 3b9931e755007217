#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a command against a headless Weston of its own, on a runtime directory of its own, with
# WAYLAND_DISPLAY set to it, Qt's platform set to wayland and no input method; exits with the
# command's status.
# Usage: with_weston.sh COMMAND [ARG...]
set -euo pipefail
. "$(dirname "$0")/test_support.sh"
make_work

chmod 700 "$work"
export XDG_RUNTIME_DIR="$work"
socket=wayland-quillmere
weston --backend=headless-backend.so --socket="$socket" --no-config --idle-time=0 \
  >"$work/weston.log" 2>&1 &
weston_pid=$!
at_exit end_process_and_wait "$weston_pid"
await_server Weston "$work/weston.log" test -S "$work/$socket"

# No input method: Qt 6.4's Wayland input context asks the seat's input device for its text input
# on every key event, and a headless Weston has no seat, so key events would crash it.
status=0
env -u DISPLAY WAYLAND_DISPLAY="$socket" QT_QPA_PLATFORM=wayland QT_IM_MODULE=none "$@" ||
  status=$?
exit "$status"
