#!/usr/bin/env bash
# A Windows executable of ours may import system DLLs only: the C++ runtime and
# winpthreads are linked in statically, so it runs from a bare folder.
set -uo pipefail
exe=$1
allowed='^(kernel32|user32|gdi32|gdiplus|shell32|ole32|oleaut32|comctl32|comdlg32|advapi32|ws2_32|wininet|version|msvcrt|msimg32|uxtheme|shlwapi)\.dll$'
dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/.*DLL Name: //p' | tr 'A-Z' 'a-z')
[ -n "$dlls" ] || { echo "no imports read from $exe"; exit 1; }
bad=$(grep -vE "$allowed" <<<"$dlls")
echo "$dlls"
if [ -n "$bad" ]; then echo "non-system imports: $bad"; exit 1; fi
