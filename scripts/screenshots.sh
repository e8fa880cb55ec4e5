#!/usr/bin/env bash
# Builds brisvane.exe and saves pictures of its window (collapsed, expanded, after one attempt)
# to docs/screenshots/ or the given folder. Runs under Xvfb in a private Wine prefix.
#   scripts/screenshots.sh [folder]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/packages.sh

ensure_packages cmake ninja-build mingw-w64 wine wine64 xvfb xauth imagemagick x11-utils xdotool

folder="$(realpath -m "${1:-docs/screenshots}")"
cmake --preset windows >/dev/null
cmake --build --preset windows --target brisvane
scripts/wine-session.sh scripts/lib/capture-window.sh build/windows/window/brisvane.exe "$folder"
