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

bash scripts/install-deps.sh arm64

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
