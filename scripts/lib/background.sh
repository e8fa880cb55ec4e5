# shellcheck shell=bash
# Servers that a script runs in the background; sourced.
#   background_start NAME FILES PORT COMMAND...
#       runs COMMAND with its output in FILES.log and its pid in FILES.pid, and returns 0 once
#       something listens on TCP PORT; 1 when it ends first (its log shown) or nothing listens
#       within 30 s. NAME names the server in the messages.
# The output goes to the log alone, so that whoever started the script (ctest, say) is not left
# waiting on a pipe the server holds open. The port is asked of the kernel: a connection to it
# would be a request the server logs.

background_start() {
    local name="$1" files="$2" port="$3" pid _
    shift 3
    "$@" </dev/null >"$files.log" 2>&1 &
    pid=$!
    echo "$pid" >"$files.pid"
    for _ in $(seq 150); do
        if [ -n "$(ss -Hltn "sport = :$port" 2>/dev/null)" ]; then
            return 0
        fi
        if ! kill -0 "$pid" 2>/dev/null; then
            cat "$files.log" >&2
            echo "$name ended before it listened on port $port" >&2
            return 1
        fi
        sleep 0.2
    done
    echo "$name did not listen on port $port within 30 s" >&2
    return 1
}
