#!/usr/bin/env bash
# corvella.exe may import only the system's known DLLs (the KnownDLLs of Windows 7 to 11), which
# the loader always takes from the system folder. Any other imported DLL would be looked for
# first beside the program: run from a Downloads folder, a planted version.dll (say) would run
# inside it. Other system DLLs are loaded at run time from the system folder only
# (LoadSystemLibrary). The C++ runtime and winpthreads are linked in statically, so it runs
# from a bare folder.
# Usage: system_imports.sh EXE [SOURCE_DIR]   (with SOURCE_DIR: no bare-name loads in the code)
set -uo pipefail
exe=$1
# kernel32 user32 gdi32 advapi32 shell32 ole32 oleaut32 shlwapi ws2_32 psapi imm32 comdlg32: known
# DLLs on every Windows from 7 on; msvcrt: the C runtime, a known DLL too; api-ms-win-*: API
# sets, which the loader resolves itself, never from a folder. Not here though Windows 10 knows
# them: gdiplus (not known on Windows 7), wininet (known only on 7), version, comctl32 (a
# side-by-side assembly), uxtheme, msimg32.
allowed='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|shlwapi|ws2_32|psapi|imm32|comdlg32|msvcrt|api-ms-win-[a-z0-9-]+)\.dll$'
dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/.*DLL Name: //p' | tr 'A-Z' 'a-z')
[ -n "$dlls" ] || { echo "no imports read from $exe"; exit 1; }
bad=$(grep -vE "$allowed" <<<"$dlls")
echo "$dlls"
if [ -n "$bad" ]; then echo "imports that are not known DLLs: $bad"; exit 1; fi
if [ $# -ge 2 ]; then
  # LoadLibraryW and LoadLibraryA search the program's folder first.
  bare=$(grep -rnE '\bLoadLibrary(W|A)?\(' "$2"/common "$2"/shell "$2"/presentation "$2"/retrieval)
  if [ -n "$bare" ]; then echo "DLLs loaded by bare name: $bare"; exit 1; fi
fi
