#!/usr/bin/env bash
# Builds brisvane.exe and the demo and saves the README's pictures to docs/screenshots/ or the
# given folder: the organisation's build (collapsed, expanded, after one attempt without its
# network) and the demo's walk-through of one sign-in (1-sign-in.png to 4-home-share.png). Runs
# under Xvfb in private Wine prefixes, the demo's lookup service natively.
#   scripts/screenshots.sh [folder]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/packages.sh

ensure_packages cmake ninja-build googletest mingw-w64 wine wine64 xvfb xauth imagemagick x11-utils \
    xdotool
ensure_lookup_service_packages

folder="$(realpath -m "${1:-docs/screenshots}")"
cmake --preset service >/dev/null
cmake --build --preset service --target brisvane-lookupd
cmake --preset windows >/dev/null
cmake --build --preset windows --target brisvane brisvane_demo
scripts/wine-session.sh scripts/lib/capture-window.sh build/windows/window/brisvane.exe "$folder"
scripts/wine-session.sh scripts/lib/demo-session.sh build/windows/demo "$folder"
