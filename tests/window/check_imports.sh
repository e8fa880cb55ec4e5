#!/usr/bin/env bash
# Passes when a Windows program imports only Known DLLs and the common controls, which no
# Windows loader takes from the program's own folder: Known DLLs come from System32 whatever
# the search order, and comctl32 from the side-by-side store that the program's manifest binds
# it to. Any other DLL (winhttp, mpr, uxtheme, version, ...) would be searched for in the
# program's folder first, so the program must load it itself, from System32.
#   check_imports.sh <objdump> <program.exe>
set -euo pipefail
objdump="$1"
program="$2"
# HKLM\System\CurrentControlSet\Control\Session Manager\KnownDLLs on Windows 10 and 11.
known_dlls='advapi32|clbcatq|combase|comdlg32|coml2|difxapi|gdi32|gdiplus|imagehlp|imm32|kernel32|msctf|msvcrt|normaliz|nsi|ole32|oleaut32|psapi|rpcrt4|sechost|setupapi|shcore|shell32|shlwapi|user32|wldap32|ws2_32'
allowed="^($known_dlls|comctl32)\\.dll\$"

mapfile -t imports < <("$objdump" -p "$program" | sed -n 's/^[[:space:]]*DLL Name: //p')
if [ ${#imports[@]} -eq 0 ]; then
    echo "no imports found in $program" >&2
    exit 1
fi
status=0
for dll in "${imports[@]}"; do
    if echo "$dll" | tr '[:upper:]' '[:lower:]' | grep -Eq "$allowed"; then
        echo "ok: $dll"
    else
        echo "neither a Known DLL nor the common controls: $dll" >&2
        status=1
    fi
done
exit $status
