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
#   lookup_service_config ADDRESS CERTIFICATE KEY SOURCE SERVER...
#                                                 prints a configuration: https on ADDRESS
#                                                 (host:port) with that PEM certificate and key,
#                                                 SOURCE (the [directory] or [members] table, as
#                                                 text), shares on the SERVERs, usernames logged,
#                                                 asked from this machine only
#   lookup_service_settings BINARY EXAMPLE SECTION.KEY=VALUE...
#                                                 prints BINARY's commented configuration
#                                                 EXAMPLE (--print-config) with those settings
#                                                 set (VALUE as TOML), commented ones and those of
#                                                 a section the example leaves out among them
# Nothing is written outside DIR. The service's output goes to the log alone (background.sh).

source "$(dirname "${BASH_SOURCE[0]}")/background.sh"

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
    background_start "lookup-service.sh: the service" "$dir/service" "$port" \
        "${launcher[@]}" "$binary" --config "$config" || {
        lookup_service_stop "$dir"
        return 1
    }
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

lookup_service_config() {
    local address="$1" certificate="$2" key="$3" source="$4"
    shift 4
    cat <<TOML
[listen]
address = "$address"
tls_certificate = "$certificate"
tls_key = "$key"

[limits]
allowed_networks = ["127.0.0.0/8", "::1"]

$source

[organisation]
file_servers = [$(printf '"%s", ' "$@" | sed 's/, $//')]

[log]
usernames = true
TOML
}

lookup_service_settings() {
    local binary="$1" example="$2"
    shift 2
    # Through the environment: awk -v would read backslashes in the values as escapes.
    "$binary" --print-config "$example" | SETTINGS="$(printf '%s\n' "$@")" awk '
        BEGIN {
            count = split(ENVIRON["SETTINGS"], settings, "\n")
            for (i = 1; i <= count; i++) {
                at = index(settings[i], "=")
                if (at == 0) continue
                name = substr(settings[i], 1, at - 1)
                value[name] = substr(settings[i], at + 1)
                sub(/\..*/, "", name)
                used[name] = 1
            }
        }
        # A section the example leaves out is taken in when a setting of it is set.
        /^(# )?\[[a-z]+\]$/ {
            section = $0
            sub(/^# /, "", section)
            gsub(/[][]/, "", section)
            if (section in used) {
                print "[" section "]"
                next
            }
        }
        / = / {
            key = $0
            sub(/^# /, "", key)
            sub(/ = .*/, "", key)
            if ((section "." key) in value) {
                print key " = " value[section "." key]
                next
            }
        }
        { print }
    '
}
