#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the Debian packages that are missing for one purpose:
#   install-deps.sh run    building and running the programs (the README's first command)
#   install-deps.sh test   that and every test: unit tests, benchmarks, fuzzing with clang, the
#                          window's screenshot, and building and checking the .deb
# Runs apt-get as root, or through sudo otherwise.
set -euo pipefail

run_packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libgl-dev libxcb1-dev fonts-dejavu-core librsvg2-bin
  qt6-base-private-dev
  libcli11-dev
)
test_packages=(
  libgtest-dev libgmock-dev libbenchmark-dev libutfcpp-dev
  clang libclang-rt-dev
  xvfb xauth x11-utils xdotool imagemagick fortunes-de
  weston qt6-wayland
  dpkg-dev file lintian appstream desktop-file-utils man-db groff-base
  hyperfine stegsnow time python3 python3-xlib
)

case ${1:-} in
run) packages=("${run_packages[@]}") ;;
test) packages=("${run_packages[@]}" "${test_packages[@]}") ;;
*)
  echo "usage: $0 run|test" >&2
  exit 2
  ;;
esac

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
echo "Installing: ${missing[*]}" >&2
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 update -q
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 install -y -q --no-install-recommends "${missing[@]}"
