# shellcheck shell=bash
# Runs the SMB bridge (standins/smb_bridge.py), the Linux side of the test network provider's
# SMB mode, in the background for the demo and the tests on real parts; sourced. Needs root
# (FUSE mounts that Wine may read) and ensure_samba_packages.
#   smb_bridge_start DIR PORT NAME=ADDRESS...   the bridge on 127.0.0.1:PORT, reaching each file
#                                               server NAME at ADDRESS; its folder (mounts,
#                                               client configuration) is DIR, its log
#                                               DIR/bridge.log, its pid DIR/bridge.pid; returns
#                                               once it listens
#   smb_bridge_stop DIR                         stops it, which unmounts every share it mounted,
#                                               waits until it has gone and removes DIR
# Nothing is written outside DIR. Its output goes to the log alone (background.sh).

source "$(dirname "${BASH_SOURCE[0]}")/background.sh"

smb_bridge_start() {
    local dir="$1" port="$2"
    shift 2
    local server_options=() server
    for server in "$@"; do
        server_options+=(--server "$server")
    done
    smb_bridge_stop "$dir" || return 1
    mkdir -p "$dir"
    chmod 0700 "$dir"
    dir="$(cd "$dir" && pwd)"
    background_start "smb-bridge.sh: the bridge" "$dir/bridge" "$port" /usr/bin/python3 \
        "$(dirname "${BASH_SOURCE[0]}")/../../standins/smb_bridge.py" \
        --listen "127.0.0.1:$port" --folder "$dir" "${server_options[@]}" || {
        smb_bridge_stop "$dir"
        return 1
    }
}

smb_bridge_stop() {
    local dir="$1" pid _
    [ -d "$dir" ] || return 0
    pid="$(cat "$dir/bridge.pid" 2>/dev/null)" || pid=""
    if [ -n "$pid" ] && kill "$pid" 2>/dev/null; then
        for _ in $(seq 150); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
    fi
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
        echo "smb-bridge.sh: the bridge ($pid) did not end" >&2
        return 1
    fi
    # A folder below a live mount is the member's share: never remove through one.
    if findmnt -rn -o TARGET | grep -q "^$(realpath "$dir")/"; then
        echo "smb-bridge.sh: a share is still mounted below $dir; left as it is" >&2
        return 1
    fi
    rm -rf "$dir"
}
