#!/usr/bin/env bash
# Passes when a Windows program imports only DLLs that come with Windows itself, so that it
# runs from a bare copy of its file.
#   check_imports.sh <objdump> <program.exe>
set -euo pipefail
objdump="$1"
program="$2"
windows_dlls='^(advapi32|comctl32|comdlg32|gdi32|imm32|kernel32|mpr|msvcrt|ole32|oleaut32|shell32|shlwapi|user32|uxtheme|version|winhttp|wininet|ws2_32)\.dll$'

mapfile -t imports < <("$objdump" -p "$program" | sed -n 's/^[[:space:]]*DLL Name: //p')
if [ ${#imports[@]} -eq 0 ]; then
    echo "no imports found in $program" >&2
    exit 1
fi
status=0
for dll in "${imports[@]}"; do
    if echo "$dll" | tr '[:upper:]' '[:lower:]' | grep -Eq "$windows_dlls"; then
        echo "ok: $dll"
    else
        echo "not part of Windows: $dll" >&2
        status=1
    fi
done
exit $status
