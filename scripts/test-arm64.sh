#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds everything, the window included, for Linux on arm64 (aarch64) from a fresh clone of this
# checkout's HEAD, and runs every test under qemu-user-static (the window's on Qt's offscreen
# platform, the X server tests on an Xvfb of their own). The arm64 libraries come from Debian's
# multiarch packages: the script adds the arm64 architecture to dpkg where it is missing and installs
# what is missing (apt-get as root, or through sudo otherwise), after checking with a simulated run
# that apt removes none of the packages installed here. The clone is removed afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
source_tree=$PWD

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
apt=("${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900)

# The build machine's tools, and the arm64 forms of the libraries the programs link. GoogleTest is
# built from its source, and CLI11 and utfcpp are header-only.
packages=(
  cmake ninja-build pkg-config librsvg2-bin fonts-dejavu-core xvfb xauth x11-utils
  crossbuild-essential-arm64 qemu-user-static
  googletest libcli11-dev libutfcpp-dev
  qt6-base-dev:arm64 libgl-dev:arm64 libxcb1-dev:arm64
)
if ! dpkg --print-foreign-architectures | grep -qx arm64; then
  "${as_root[@]}" dpkg --add-architecture arm64
  "${apt[@]}" update -q
fi
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}" >&2
  "${apt[@]}" update -q
  # The arm64 libraries must match the versions of the build machine's own (Multi-Arch: same), so
  # apt may upgrade those; it must never remove one.
  plan=$("${apt[@]}" install -s --no-install-recommends --no-remove "${missing[@]}")
  if grep -q '^Remv ' <<<"$plan"; then
    echo "apt would remove packages of this machine; nothing installed:" >&2
    grep '^Remv ' <<<"$plan" >&2
    exit 1
  fi
  "${apt[@]}" install -y -q --no-install-recommends --no-remove "${missing[@]}"
fi

clone=$(mktemp -d "${TMPDIR:-/tmp}/quillmere-arm64.XXXXXX")
trap 'rm -rf "$clone"' EXIT
git clone -q --no-hardlinks "$source_tree" "$clone"
git -C "$clone" checkout -q --detach "$(git -C "$source_tree" rev-parse HEAD)"
cd "$clone"

started=$SECONDS
cmake --preset arm64
cmake --build --preset arm64
echo "== arm64 build: $((SECONDS - started)) s"
started=$SECONDS
ctest --preset arm64 --parallel 2
echo "== arm64 tests under qemu: $((SECONDS - started)) s"
