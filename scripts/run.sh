#!/usr/bin/env bash
# The main job, on a Debian or Ubuntu machine, installing what is missing: builds the demo
# (brisvane.exe built for a demo organisation on https://localhost, the organisation's lookup
# service brisvane-lookupd natively, and the network provider that plays its file servers under
# Wine) and runs it, the service on this machine and the rest in a private Wine prefix that
# trusts the service's throwaway certificate authority. With a display, opens the Brisvane
# window there: sign in as a demo member (README), and once Brisvane has mapped the drive and
# closed, the drive opens in Wine's file manager. Without a display, runs the same under Xvfb,
# walks through one sign-in and saves pictures to build/screenshots/.
#   scripts/run.sh                       the demo organisation's members file, ready at once
#   scripts/run.sh --active-directory    on real parts: an Active Directory domain and its Samba
#                                        file server (as root)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/packages.sh

# --active-directory: the same chain on real parts, the test Active Directory domain and its
# Samba file server (README.md, "The demo"), as root.
session=(scripts/lib/demo-session.sh)
if [ "${1:-}" = --active-directory ]; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "run.sh: the Active Directory demo runs Samba in namespaces of its own: run it as root" >&2
        exit 2
    fi
    ensure_samba_packages
    session+=(--active-directory)
fi

ensure_packages cmake ninja-build googletest mingw-w64 wine wine64 xvfb xauth
ensure_lookup_service_packages
cmake --preset service >/dev/null
cmake --build --preset service --target brisvane-lookupd
cmake --preset windows >/dev/null
cmake --build --preset windows --target brisvane_demo
demo=build/windows/demo

if [ -n "${DISPLAY:-}" ]; then
    echo "Opening the Brisvane demo on $DISPLAY."
    BRISVANE_USE_DISPLAY=1 exec scripts/wine-session.sh "${session[@]}" "$demo"
fi

echo "No display: walking through one sign-in under Xvfb and saving pictures."
ensure_packages imagemagick x11-utils xdotool
rm -rf build/screenshots
# Without a display nothing needs more than this machine's loopback: on real parts, nothing
# gets more (scripts/loopback-only.sh).
launcher=()
if [ "${#session[@]}" -gt 1 ]; then
    launcher=(scripts/loopback-only.sh)
fi
"${launcher[@]}" scripts/wine-session.sh "${session[@]}" "$demo" build/screenshots
