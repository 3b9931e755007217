#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs the Windows program $1, with the arguments after it, under wine in a wine prefix made for
# this run alone and removed afterwards, so that the prefix's wineserver and its clipboard bridge
# belong to the display of this run (DISPLAY, as with_xvfb.sh sets it). Exits with the program's
# status.
# Usage: in_wine_prefix.sh PROGRAM [ARGUMENT...]
set -euo pipefail
. "$(dirname "$0")/test_support.sh"

make_work
mkdir "$work/prefix"
export WINEPREFIX=$work/prefix WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
at_exit end_wineserver
start_wine_prefix
wine "$@"
