#!/usr/bin/env bash
# A stand-in for the tools that scripts/release.sh runs, for packaging/tests/test-release.sh,
# linked under each tool's name into a folder put first on PATH. Every call appends its command
# line and its whole environment to calls.log beside the link, then does just enough of the
# tool's work for release.sh to go on: no build, no package, no signature. osslsigncode also
# notes the mode of its password file and whether it holds the text in expected-password.
set -euo pipefail
here="$(dirname "$0")"
tool="$(basename "$0")"
{
    printf '== %s %s\n' "$tool" "$*"
    env
} >>"$here/calls.log"

# The value after option $1 in the rest of the arguments.
option() {
    local name="$1"
    shift
    while [ $# -gt 1 ]; do
        if [ "$1" = "$name" ]; then
            printf '%s' "$2"
            return
        fi
        shift
    done
}

case "$tool" in
    dpkg-query) exit 1 ;;  # nothing is installed, so release.sh installs through apt-get
    sudo) exec "$@" ;;
    apt-get) ;;
    cmake)
        if [ "$1" = --build ]; then
            mkdir -p "$2/window"
            echo program >"$2/window/brisvane.exe"
        else
            build="$(option -B "$@")"
            mkdir -p "$build/packaging"
            cat >"$build/packaging/release-settings.txt" <<'EOF'
VERSION=0.9.0
PUBLISHER=Stub Publisher
PUBLISHER_URL=https://publisher.example.edu/
SUPPORT_URL=https://support.example.edu/
DOWNLOAD_URL=https://downloads.example.edu/brisvane
WINGET_ID=Stub.Brisvane
LICENSE=Stub licence
UPGRADE_CODE=0C4A3A36-2D4C-4F0B-9C55-6A0B1E4C7D21
LOOKUP_URL=https://lookup.example.edu/cs/servers/serversearch.asp
FILE_SERVERS=files1.example.edu
SHORT_FILE_SERVERS=
EOF
        fi
        ;;
    cpack)
        mkdir -p "$(option -B "$@")"
        echo package >"$(option -B "$@")/brisvane-lookupd_0.9.0_amd64.deb"
        ;;
    wixl) echo package >"$(option -o "$@")" ;;
    msiinfo)
        printf 'ProductCode\t{5B0E2C0D-1A2B-4C3D-8E4F-001122334455}\r\n'
        printf 'UpgradeCode\t{0C4A3A36-2D4C-4F0B-9C55-6A0B1E4C7D21}\r\n'
        ;;
    osslsigncode)
        passfile="$(option -readpass "$@")"
        if [ -n "$passfile" ]; then
            same=differs
            if cmp -s "$passfile" "$here/expected-password"; then
                same=same
            fi
            echo "password file $passfile: mode $(stat -c %a "$passfile"), $same" \
                >>"$here/calls.log"
        fi
        cp "$(option -in "$@")" "$(option -out "$@")"
        ;;
    *)
        echo "tool_stub.sh: no stand-in for $tool" >&2
        exit 1
        ;;
esac
