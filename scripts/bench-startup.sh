#!/usr/bin/env bash
# The size of brisvane.exe and its start-up time under Wine (process start to window shown)
# beside a program that only shows an empty window, and the same empty window after loading
# what brisvane.exe loads before its own (common controls 6 and their theming, OLE32, IMM32).
# The programs take turns, [runs] rounds of them (default 15, at least 5).
# Usage: scripts/bench-startup.sh [runs]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/packages.sh

ensure_packages cmake ninja-build googletest mingw-w64 wine wine64 xvfb xauth

cmake --preset windows >/dev/null
cmake --build --preset windows --parallel 2 \
    --target brisvane brisvane_minimal_window brisvane_minimal_window_cc6 \
    brisvane_startup_timer >/dev/null

exe=build/windows/window/brisvane.exe
echo "brisvane.exe: $(stat -c %s "$exe") bytes; imports: $(x86_64-w64-mingw32-objdump -p "$exe" |
    sed -n 's/^\s*DLL Name: //p' | sort -f | paste -sd ' ')"
# Wine shows the Unix root as drive Z:.
windows_path() { printf 'Z:%s' "$(realpath "$1" | tr / '\\')"; }
startup=build/windows/bench/startup
scripts/wine-session.sh wine "$startup/brisvane_startup_timer.exe" "${1:-15}" \
    "$(windows_path "$exe")" "$(windows_path "$startup/brisvane_minimal_window_cc6.exe")" \
    "$(windows_path "$startup/brisvane_minimal_window.exe")"
