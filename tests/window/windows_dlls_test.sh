#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks the installed Windows folder of the program: beside quillmere.exe lie exactly the DLLs it
# loads (Qt's three, the platform and style plugins, the compiler's three runtime DLLs), and every
# DLL that a program or DLL of the folder imports, as objdump -p lists it, is either in the folder
# or one of Windows' own. Usage: windows_dlls_test.sh FOLDER [OBJDUMP]
set -euo pipefail
. "$(dirname "$0")/test_support.sh"
folder=$1
objdump=${2:-x86_64-w64-mingw32-objdump}

expected='Qt6Core.dll
Qt6Gui.dll
Qt6Widgets.dll
libgcc_s_seh-1.dll
libstdc++-6.dll
libwinpthread-1.dll
platforms/qwindows.dll
styles/qwindowsvistastyle.dll'
found=$(cd "$folder" && find . -iname '*.dll' | sed 's|^\./||' | LC_ALL=C sort)
[ "$found" = "$(LC_ALL=C sort <<<"$expected")" ] ||
  fail "the folder's DLLs are not exactly the expected ones:$(diff <(LC_ALL=C sort <<<"$expected") <(echo "$found") | sed -n 's/^[<>]/&/p' | tr '\n' ' ')"

# Windows' own DLLs that Qt's Widgets, its Windows plugin and style and the C++ runtime import.
system_dlls=" $(echo advapi32.dll authz.dll comdlg32.dll d2d1.dll d3d9.dll d3d11.dll dwmapi.dll \
  dwrite.dll dxgi.dll gdi32.dll imm32.dll kernel32.dll mpr.dll msvcrt.dll netapi32.dll ntdll.dll \
  ole32.dll oleaut32.dll setupapi.dll shcore.dll shell32.dll shlwapi.dll user32.dll userenv.dll \
  uxtheme.dll version.dll winmm.dll ws2_32.dll wtsapi32.dll) "
# The folder's own DLLs by file name, in lower case, as Windows matches them.
own=" $(cd "$folder" && find . -maxdepth 1 -iname '*.dll' -printf '%f\n' | tr 'A-Z' 'a-z' | tr '\n' ' ') "

checked=0
while IFS= read -r -d '' file; do
  checked=$((checked + 1))
  imports=$("$objdump" -p "$file" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
  [ -n "$imports" ] || fail "${file#"$folder"/} imports nothing: objdump did not read it"
  for dll in $imports; do
    case $own$system_dlls in
      *" $dll "*) ;;
      *) case $dll in
           api-ms-win-*) ;; # Windows' API sets
           *) fail "${file#"$folder"/} imports $dll, which is neither in the folder nor Windows' own" ;;
         esac ;;
    esac
  done
done < <(find "$folder" \( -iname '*.exe' -o -iname '*.dll' \) -print0)
[ "$checked" -ge 9 ] || fail "only $checked programs and DLLs found in $folder"

[ "$failures" -eq 0 ] && echo "windows DLLs: $checked files checked, every import found"
exit "$failures"
