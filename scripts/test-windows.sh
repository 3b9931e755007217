#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the whole tree, window included, for 64-bit Windows with mingw-w64 and Qt 6.4.2 for Windows
# (scripts/build-qt-windows.sh: a prebuilt copy where one is found, else built once from Debian's
# source package), runs every test under wine, then makes the portable zip and the installer and
# checks both under wine. The console tests and the Qt tests on the offscreen platform run in a
# fresh wine prefix without a display, removed afterwards; the window's test on the real platform
# and the tests that start the program make an Xvfb and a wine prefix of their own.
# Installs the Debian packages it needs where any is missing (apt-get as root, or through sudo).
# QUILLMERE_QT_PREBUILT names the prebuilt Qt (default: ../shared/toolchains/ beside the clone).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh windows

start=$(date +%s)
prebuilt=${QUILLMERE_QT_PREBUILT:-}
if [ -z "$prebuilt" ]; then
  for dir in .. ../..; do
    candidate=$dir/shared/toolchains/qt6.4.2-mingw-w64-x86_64.tar.xz
    [ -f "$candidate" ] && { prebuilt=$candidate; break; }
  done
fi
QUILLMERE_MINGW_QT=$(bash scripts/build-qt-windows.sh ${prebuilt:+--prebuilt "$prebuilt"})
export QUILLMERE_MINGW_QT
echo "Qt for Windows: $QUILLMERE_MINGW_QT"

# A prefix of our own, without a display, for the console tests. Mono and Gecko are not needed,
# and would otherwise be offered for download when the prefix is made.
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/quillmere-wine.XXXXXX")
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
cleanup() {
  WINEPREFIX=$WINEPREFIX wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
# The wine server and the prefix's own services are started once, before the tests: started by the
# first test instead, the services would inherit its output and keep ctest waiting for it to end.
wineserver -p
wine wineboot --init </dev/null >/dev/null 2>&1
# Wine passes no QT_ variable on from here; Qt Test's log then goes to stderr, not to the debugger.
wine reg add 'HKCU\Environment' /v QT_FORCE_STDERR_LOGGING /d 1 /f </dev/null >/dev/null 2>&1

cmake --preset mingw-window
cmake --build --preset mingw-window
ctest --preset mingw-window --parallel 2

echo "== the Windows zip and installer"
packages_made=$(bash scripts/windows-packages.sh build/mingw-window)
echo "$packages_made"
# shellcheck disable=SC2046 # the two paths, one a line, hold no spaces
tests/window/with_xvfb.sh tests/window/windows_packages_test.sh $(echo "$packages_made")
echo "Windows part: $(($(date +%s) - start)) s"
