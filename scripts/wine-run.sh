#!/usr/bin/env bash
# Runs a Windows program under Wine in the test run's private prefix (see wine-session.sh);
# CMake uses it as the emulator of the cross-compiled build.
set -euo pipefail
if [ -z "${WINEPREFIX:-}" ]; then
    echo "wine-run.sh: no WINEPREFIX; run Windows tests through scripts/wine-session.sh" >&2
    exit 2
fi
export WINEDEBUG="${WINEDEBUG:--all}"
exec wine "$@"
