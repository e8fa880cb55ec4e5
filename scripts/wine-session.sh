#!/usr/bin/env bash
# Runs a command (ctest, the demo, a screenshot script) in a private Wine prefix with its own
# X display, then tears both down. The prefix lives in $BRISVANE_WINE_DIR (default
# build/wine/<pid>) and is removed afterwards unless BRISVANE_KEEP_PREFIX=1.
#   scripts/wine-session.sh ctest --preset windows
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

export WINEPREFIX="${BRISVANE_WINE_DIR:-$root/build/wine/prefix-$$}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEARCH=win64
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"  # no Mono or Gecko prompts

xvfb_pid=""
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" >/dev/null 2>&1 || true
    fi
    if [ "${BRISVANE_KEEP_PREFIX:-0}" != 1 ]; then
        rm -rf "$WINEPREFIX"
    fi
}
trap cleanup EXIT

# A display of our own unless the caller asks to use theirs (the interactive demo does).
own_display=0
if [ "${BRISVANE_USE_DISPLAY:-0}" != 1 ] || [ -z "${DISPLAY:-}" ]; then
    own_display=1
    # Xvfb picks a free display number itself and writes it to the given descriptor.
    display_file="$(mktemp)"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$display_file" ] && break
        sleep 0.1
    done
    export DISPLAY=":$(head -n 1 "$display_file")"
    rm -f "$display_file"
    if [ "$DISPLAY" = ":" ]; then
        echo "wine-session.sh: Xvfb did not start" >&2
        exit 1
    fi
fi

mkdir -p "$(dirname "$WINEPREFIX")"
wineboot -i >/dev/null 2>&1
# Our own display has no window manager, and without one Wine waits on every unmap unless its
# windows are unmanaged. On the member's display the window manager keeps them.
if [ "$own_display" = 1 ]; then
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
fi
wineserver -w

"$@"
