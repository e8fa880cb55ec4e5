#!/usr/bin/env bash
# The main job, on a Debian or Ubuntu machine, installing what is missing: builds the demo
# (brisvane.exe built for a demo organisation on 127.0.0.1, that organisation and the network
# provider that plays its file servers) and runs it in a private Wine prefix. With a display,
# opens the Brisvane window there: sign in as a demo member (README), and once Brisvane has
# mapped the drive and closed, the drive opens in Wine's file manager. Without a display, runs
# the same under Xvfb, walks through one sign-in and saves pictures to build/screenshots/.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/packages.sh

ensure_packages cmake ninja-build googletest mingw-w64 wine wine64 xvfb xauth
cmake --preset windows >/dev/null
cmake --build --preset windows --target brisvane_demo
demo=build/windows/demo

if [ -n "${DISPLAY:-}" ]; then
    echo "Opening the Brisvane demo on $DISPLAY."
    BRISVANE_USE_DISPLAY=1 exec scripts/wine-session.sh scripts/lib/demo-session.sh "$demo"
fi

echo "No display: walking through one sign-in under Xvfb and saving pictures."
ensure_packages imagemagick x11-utils xdotool
rm -rf build/screenshots
scripts/wine-session.sh scripts/lib/demo-session.sh "$demo" build/screenshots
