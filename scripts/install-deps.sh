#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the Debian packages that are missing for one purpose:
#   install-deps.sh run         building and running the programs (the README's first command)
#   install-deps.sh test        that and every test: unit tests, benchmarks, fuzzing with clang, the
#                               window's screenshot, and building and checking the .deb
#   install-deps.sh windows     the Windows build with mingw-w64, its tests under wine, the zip and
#                               the installer (scripts/test-windows.sh)
#   install-deps.sh qt-windows  building Qt for Windows from Debian's source package
#                               (scripts/build-qt-windows.sh)
#   install-deps.sh arm64       the arm64 cross build and its tests under qemu (scripts/test-arm64.sh);
#                               adds the arm64 architecture to dpkg where it is missing
#   install-deps.sh chroot      making a Debian system to test in (scripts/test-debian.sh)
# Runs apt-get as root, or through sudo otherwise, and writes what it does to standard error. The
# arm64 libraries must match the versions of this machine's own (Multi-Arch: same), so apt may
# upgrade packages here; a simulated run first makes sure that it never removes one.
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

windows_packages=(
  cmake ninja-build
  mingw-w64 g++-mingw-w64-x86-64-posix wine wine64
  googletest libcli11-dev libutfcpp-dev
  qt6-base-dev qt6-base-dev-tools xz-utils
  xvfb xdotool imagemagick nsis zip unzip
)
# The host's Qt of the same version gives moc, rcc and uic (Debian 12's): Debian 13's Qt is 6.8,
# whose moc writes code that Qt 6.4.2's headers refuse.
qt_windows_packages=(cmake ninja-build xz-utils patch g++-mingw-w64-x86-64-posix qt6-base-dev
  qt6-base-dev-tools)
# The build machine's tools, and the arm64 forms of the libraries the programs link. GoogleTest is
# built from its source, and CLI11 and utfcpp are header-only.
arm64_packages=(
  cmake ninja-build pkg-config librsvg2-bin fonts-dejavu-core xvfb xauth x11-utils
  crossbuild-essential-arm64 qemu-user-static
  googletest libcli11-dev libutfcpp-dev
  qt6-base-dev:arm64 libgl-dev:arm64 libxcb1-dev:arm64
)

case ${1:-} in
run) packages=("${run_packages[@]}") ;;
test) packages=("${run_packages[@]}" "${test_packages[@]}") ;;
windows) packages=("${windows_packages[@]}") ;;
qt-windows) packages=("${qt_windows_packages[@]}") ;;
arm64) packages=("${arm64_packages[@]}") ;;
chroot) packages=(debootstrap) ;;
*)
  echo "usage: $0 run|test|windows|qt-windows|arm64|chroot" >&2
  exit 2
  ;;
esac

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
apt=("${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900)
if [ "$1" = arm64 ] && ! dpkg --print-foreign-architectures | grep -qx arm64; then
  "${as_root[@]}" dpkg --add-architecture arm64
fi

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}" >&2
"${apt[@]}" update -q >&2
plan=$("${apt[@]}" install -s --no-install-recommends --no-remove "${missing[@]}")
if grep -q '^Remv ' <<<"$plan"; then
  echo "apt would remove packages of this machine; nothing installed:" >&2
  grep '^Remv ' <<<"$plan" >&2
  exit 1
fi
"${apt[@]}" install -y -q --no-install-recommends --no-remove "${missing[@]}" >&2
