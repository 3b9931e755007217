# SPDX-License-Identifier: MIT
# shellcheck shell=bash
# What the window's test scripts share; each sources it from its own folder, so that it is found
# wherever the script is started from:
#   . "$(dirname "$0")/test_support.sh"
# Steps run at exit (the script's temporary folder removed, the processes it started ended by their
# PIDs), a wait for a server to start, the count of failed checks, and a wine prefix of the script's
# own. Sourcing it sets the EXIT trap: a script that sources it sets none of its own.

exit_steps=()
# Runs the command `$@` when the script exits, before the steps noted earlier; a step that fails
# does not keep the others from running.
at_exit() {
  exit_steps=("$(printf '%q ' "$@")" "${exit_steps[@]}")
}
run_exit_steps() {
  local step
  for step in "${exit_steps[@]}"; do
    eval "$step" || true
  done
}
trap run_exit_steps EXIT

# Makes the script's temporary folder, $work; it is removed at exit, after every step noted later.
make_work() {
  work=$(mktemp -d)
  at_exit rm -rf "$work"
}

# Ends the process PID $1, one that this script started, by that PID alone; does nothing when $1 is
# empty or missing.
end_process() {
  [ -z "${1:-}" ] || kill "$1" 2>/dev/null
}
# As end_process, and then waits until the process (a child of this shell) has ended.
end_process_and_wait() {
  [ -z "${1:-}" ] && return 0
  kill "$1" 2>/dev/null
  wait "$1" 2>/dev/null
}

# Tries the command `$2...` every tenth of a second, $1 times and once more at the end; returns 0 as
# soon as it succeeds, and the last try's status when it never does.
wait_until() {
  local tries=$1 _
  shift
  for _ in $(seq "$tries"); do
    "$@" && return 0
    sleep 0.1
  done
  "$@"
}

# Waits up to 10 s for the command `$3...`, the sign that the server $1 has started, to succeed;
# when it never does, says that the server did not start, shows its log $2 and exits with 1.
await_server() {
  local name=$1 log=$2
  shift 2
  wait_until 100 "$@" || {
    echo "$name did not start"
    cat "$log"
    exit 1
  }
}

failures=0
# Says which check failed and counts it; the script exits with the count, $failures, at the end.
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# Starts the wineserver of the prefix WINEPREFIX to stay up while the script runs (so that its wine
# commands share one server) and makes the prefix, wine's messages sent nowhere. Its Windows
# environment holds QT_FORCE_STDERR_LOGGING=1, which wine would not pass on from the host's: without
# it Qt, and Qt Test's log, write to the debugger, which nobody reads.
start_wine_prefix() {
  wineserver -p
  wine wineboot --init </dev/null >/dev/null 2>&1
  wine reg add 'HKCU\Environment' /v QT_FORCE_STDERR_LOGGING /d 1 /f </dev/null >/dev/null 2>&1
}
# Ends the wineserver of WINEPREFIX, and with it every wine process of that prefix, if WINEPREFIX
# is set when it runs; for at_exit.
end_wineserver() {
  [ -z "${WINEPREFIX:-}" ] || wineserver -k 2>/dev/null
}
