#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Makes the two Windows packages of a Windows build (the mingw-window preset): the portable zip
# quillmere-<version>-windows-x86_64.zip, whose one folder runs as it is, and the installer
# quillmere-<version>-windows-x86_64-setup.exe (NSIS, from resources/windows/quillmere.nsi.in).
# Both hold what `cmake --install` puts into the program's folder. Needs zip and nsis.
# Usage: windows-packages.sh BUILD_FOLDER [OUTPUT_FOLDER]   (the output defaults to the build's)
set -euo pipefail
build=$(cd "$1" && pwd)
out=$(mkdir -p "${2:-$build}" && cd "${2:-$build}" && pwd)

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
name=quillmere-$version-windows-x86_64
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
stage=$work/$name

cmake --install "$build" --prefix "$stage" --strip >/dev/null

rm -f "$out/$name.zip"
(cd "$work" && find "$name" -print | LC_ALL=C sort | zip -X -9 -q "$out/$name.zip" -@)

# The installer's lists: each file of the folder put in place, and on removal each deleted and
# then its folders, the deepest first, so that nothing but what was installed is touched.
(
  cd "$stage"
  find . -type d | LC_ALL=C sort | while read -r dir; do
    dir=${dir#.}
    echo "SetOutPath \"\$INSTDIR${dir//\//\\}\""
    find ".$dir" -maxdepth 1 -type f | LC_ALL=C sort | while read -r file; do
      echo "File \"$stage/${file#./}\""
    done
  done
) >"$work/files.nsh"
(
  cd "$stage"
  find . -type f | LC_ALL=C sort | while read -r file; do
    file=${file#./}
    echo "Delete \"\$INSTDIR\\${file//\//\\}\""
  done
  find . -mindepth 1 -type d | LC_ALL=C sort -r | while read -r dir; do
    dir=${dir#./}
    echo "RMDir \"\$INSTDIR\\${dir//\//\\}\""
  done
) >"$work/unfiles.nsh"
size_kb=$(du -sk "$stage" | cut -f1)

makensis -V2 -NOCD -DSTAGING="$stage" -DFILES="$work/files.nsh" -DUNFILES="$work/unfiles.nsh" \
  -DSIZE_KB="$size_kb" -DOUTFILE="$out/$name-setup.exe" "$build/generated/quillmere.nsi"
echo "$out/$name.zip"
echo "$out/$name-setup.exe"
