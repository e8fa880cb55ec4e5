#!/usr/bin/env bash
# Builds brisvane.exe (mingw-w64) and opens its window under Wine, installing what is missing:
# on your display when there is one; otherwise under a virtual display, saving pictures of the
# window to build/screenshots/.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/packages.sh

ensure_packages cmake ninja-build googletest mingw-w64 wine wine64 xvfb xauth
cmake --preset windows >/dev/null
cmake --build --preset windows --target brisvane
program=build/windows/window/brisvane.exe

if [ -n "${DISPLAY:-}" ]; then
    echo "Opening $program on $DISPLAY; Cancel or the close box ends it."
    BRISVANE_USE_DISPLAY=1 exec scripts/wine-session.sh wine "$program"
fi

echo "No display: running $program under Xvfb and saving pictures of its window."
ensure_packages imagemagick x11-utils xdotool
scripts/wine-session.sh scripts/lib/capture-window.sh "$program" build/screenshots
