#!/usr/bin/env bash
# Builds everything but the window for 64-bit Windows with mingw-w64 and runs every test under
# wine, in a fresh wine prefix that is removed afterwards. Needs no display. Installs the Debian
# packages it needs where any is missing (apt-get as root, or through sudo otherwise).
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  cmake ninja-build
  mingw-w64 g++-mingw-w64-x86-64-posix wine wine64
  googletest libcli11-dev libutfcpp-dev
)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  as_root=()
  [ "$(id -u)" -eq 0 ] || as_root=(sudo)
  echo "Installing: ${missing[*]}" >&2
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# A prefix of our own, without a display: the tests are console programs. Mono and Gecko are not
# needed, and would otherwise be offered for download when the prefix is made.
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/quillmere-wine.XXXXXX")
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
# The wine server and the prefix's own services are started once, before the tests: started by the
# first test instead, the services would inherit its output and keep ctest waiting for it to end.
wineserver -p
wine wineboot --init </dev/null >/dev/null 2>&1

cmake --preset mingw
cmake --build --preset mingw
ctest --preset mingw --parallel 2
