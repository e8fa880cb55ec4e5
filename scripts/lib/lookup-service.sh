# shellcheck shell=bash
# Runs brisvane-lookupd in the background for the demo and the https end-to-end tests; sourced.
#   lookup_service_start BINARY CONFIG PORT DIR [HOSTS]
#                                                 checks CONFIG, starts the service with its log
#                                                 in DIR/service.log and its pid in
#                                                 DIR/service.pid, waits until it listens on
#                                                 PORT; with HOSTS, the service resolves names
#                                                 with that hosts file in place of /etc/hosts
#                                                 (in a mount namespace of its own: needs root)
#   lookup_service_stop DIR                       stops it and waits until it has gone
# Nothing is written outside DIR. The service's output goes to the log alone, so that whoever
# started this shell (ctest, say) is not left waiting on a pipe the service holds open.

lookup_service_start() {
    local binary="$1" config="$2" port="$3" dir="$4" hosts="${5:-}" launcher=()
    if [ ! -x "$binary" ]; then
        echo "lookup-service.sh: no $binary: build it with" \
            "'cmake --preset service && cmake --build --preset service'" >&2
        return 1
    fi
    mkdir -p "$dir"
    if ! "$binary" --config "$config" --check-config >"$dir/check-config.log" 2>&1; then
        cat "$dir/check-config.log" >&2
        echo "lookup-service.sh: the service refuses $config" >&2
        return 1
    fi
    if [ -n "$hosts" ]; then
        # unshare and sh exec the service: the pid stays the service's.
        launcher=(unshare --mount --propagation private
            sh -c 'mount --bind "$0" /etc/hosts && exec "$@"' "$hosts")
    fi
    "${launcher[@]}" "$binary" --config "$config" </dev/null >"$dir/service.log" 2>&1 &
    local pid=$!
    echo "$pid" >"$dir/service.pid"
    local _
    for _ in $(seq 150); do
        # Asked of the kernel: a connection to the port would be a handshake the service logs.
        if [ -n "$(ss -Hltn "sport = :$port" 2>/dev/null)" ]; then
            return 0
        fi
        if ! kill -0 "$pid" 2>/dev/null; then
            cat "$dir/service.log" >&2
            echo "lookup-service.sh: the service ended before it listened on port $port" >&2
            return 1
        fi
        sleep 0.2
    done
    echo "lookup-service.sh: the service did not listen on port $port within 30 s" >&2
    lookup_service_stop "$dir"
    return 1
}

lookup_service_stop() {
    local dir="$1" pid _
    pid="$(cat "$dir/service.pid" 2>/dev/null)" || return 0
    rm -f "$dir/service.pid"
    kill "$pid" 2>/dev/null || return 0
    for _ in $(seq 100); do
        kill -0 "$pid" 2>/dev/null || return 0
        sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
}
