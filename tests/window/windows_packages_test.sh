#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks the two Windows packages as a user meets them, under wine on the X server of DISPLAY
# (with_xvfb.sh gives it one of its own):
# - the zip holds one folder with the program, exactly its DLLs and the licence texts, and the
#   program runs from the unpacked folder as it is;
# - the installer, run silently (/S) for the current user and then for all users, each time in a
#   fresh wine prefix, puts the program in place with a Start menu entry and an "Apps & features"
#   entry, the installed program runs, and its uninstaller leaves the prefix's files as they were
#   before and removes the entry and the shortcut.
# Usage: windows_packages_test.sh ZIP SETUP.EXE
set -uo pipefail
zip=$(realpath "$1")
setup=$(realpath "$2")
here=$(cd "$(dirname "$0")" && pwd)
. "$here/test_support.sh"
make_work
at_exit end_wineserver
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset QT_QPA_PLATFORM WINEPATH

# The zip.
folder=$(basename "$zip" .zip)
unzip -q "$zip" -d "$work/zip" || fail "$zip does not unpack"
[ "$(ls "$work/zip")" = "$folder" ] || fail "the zip holds $(ls "$work/zip" | tr '\n' ' ') instead of one folder $folder"
for file in quillmere.exe quillmere-text.exe LICENSE.txt LGPL-3.0.txt GPL-3.0.txt Qt-source.txt LICENSE-DejaVu.txt; do
  [ -f "$work/zip/$folder/$file" ] || fail "the zip's folder lacks $file"
done
grep -q 'qt6-base, version 6.4.2+dfsg-10' "$work/zip/$folder/Qt-source.txt" ||
  fail "Qt-source.txt does not name the source package"
"$here/windows_dlls_test.sh" "$work/zip/$folder" || fail "the zip's DLLs"
"$here/wine_program_test.sh" "$work/zip/$folder" || fail "the program from the zip"

# Lists the files under the prefix's drive C, but wine's own that change as it runs.
prefix_files() {
  (cd "$WINEPREFIX/drive_c" && find . \( -type f -o -type l -o -type d \) -print) |
    grep -v -e '/Temp/' -e '/temp/' -e '^./windows/' | LC_ALL=C sort
}
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\org.quillmere.quillmere'

for mode in CurrentUser AllUsers; do
  export WINEPREFIX=$work/prefix-$mode
  start_wine_prefix
  before=$(prefix_files)
  wine "$setup" /S "/$mode" </dev/null >/dev/null 2>&1 || fail "$mode: the installer failed with status $?"
  wineserver -w
  if [ "$mode" = AllUsers ]; then
    key=${key/HKCU/HKLM}
    installed=$WINEPREFIX/drive_c/Program\ Files/quillmere
    menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/quillmere.lnk"
  else
    installed=$(find "$WINEPREFIX/drive_c/users" -path '*/Programs/quillmere' -type d | head -n 1)
    menu=$(find "$WINEPREFIX/drive_c/users" -path '*/Start Menu/Programs/quillmere.lnk' | head -n 1)
  fi
  [ -n "$installed" ] && [ -f "$installed/quillmere.exe" ] || { fail "$mode: no quillmere.exe installed"; continue; }
  diff -r "$installed" "$work/zip/$folder" | grep -v 'Only in .*: uninstall.exe' |
    grep -q . && fail "$mode: the installed folder differs from the zip's: $(diff -rq "$installed" "$work/zip/$folder")"
  [ -n "$menu" ] && [ -f "$menu" ] || fail "$mode: no Start menu entry"
  entry=$(wine reg query "$key" 2>/dev/null | tr -d '\r')
  for value in "DisplayName.*quillmere" "DisplayVersion.*1\.00" "Publisher.*quillmere developers" \
      "DisplayIcon.*quillmere\.exe,0" "UninstallString.*uninstall\.exe\" /$mode"; do
    grep -q "$value" <<<"$entry" || fail "$mode: the Apps & features entry lacks $value: $entry"
  done
  QUILLMERE_WINEPREFIX=$WINEPREFIX "$here/wine_program_test.sh" "$installed" ||
    fail "$mode: the installed program"

  wine "$installed/uninstall.exe" /S "/$mode" </dev/null >/dev/null 2>&1 || fail "$mode: the uninstaller failed"
  wineserver -w # it runs on from a copy of itself, which ends when it is done
  left=$(diff <(echo "$before") <(prefix_files) | sed -n 's/^> //p')
  [ -z "$left" ] || fail "$mode: the uninstaller left behind: $left"
  wine reg query "$key" >/dev/null 2>&1 && fail "$mode: the Apps & features entry is still there"
  wineserver -k
done

[ "$failures" -eq 0 ] && echo "windows packages: zip and installer as expected"
exit "$failures"
