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
# Nothing is written outside DIR. Its output goes to the log alone (see lookup-service.sh).

smb_bridge_start() {
    local dir="$1" port="$2"
    shift 2
    local servers=() server
    for server in "$@"; do
        servers+=(--server "$server")
    done
    smb_bridge_stop "$dir" || return 1
    mkdir -p "$dir"
    chmod 0700 "$dir"
    dir="$(cd "$dir" && pwd)"
    /usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/../../standins/smb_bridge.py" \
        --listen "127.0.0.1:$port" --folder "$dir" "${servers[@]}" \
        </dev/null >"$dir/bridge.log" 2>&1 &
    local pid=$!
    echo "$pid" >"$dir/bridge.pid"
    local _
    for _ in $(seq 100); do
        grep -q '^listening on ' "$dir/bridge.log" 2>/dev/null && return 0
        if ! kill -0 "$pid" 2>/dev/null; then
            cat "$dir/bridge.log" >&2
            echo "smb-bridge.sh: the bridge ended before it listened on port $port" >&2
            return 1
        fi
        sleep 0.1
    done
    echo "smb-bridge.sh: the bridge did not listen on port $port within 10 s" >&2
    smb_bridge_stop "$dir"
    return 1
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
