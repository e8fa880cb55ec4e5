# shellcheck shell=bash
# What the lookup service's benchmark and soak share; sourced by scripts/bench-lookupd.sh and
# scripts/soak-lookupd.sh after scripts/lib/packages.sh, from the repository's root. Everything
# runs as the calling user, on 127.0.0.1, with its files in the caller's work folder: never the
# system's nginx or slapd.

source scripts/lib/slapd.sh
source scripts/lib/test-pki.sh

LOOKUP_BIND_DN="cn=brisvane-lookup,ou=services,dc=campus,dc=example"
bench_lookupd_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

# Installs what the benchmark and the soak need and builds the TARGETs (preset service); sets
# LOOKUP_PATH.
#   prepare_service_build TARGET...
prepare_service_build() {
    ensure_packages build-essential cmake ninja-build pkg-config libmicrohttpd-dev libldap-dev \
        libtomlplusplus-dev libcli11-dev slapd ldap-utils gnutls-bin nginx wrk curl iproute2
    echo "=== Building $* (preset service)"
    cmake --preset service >/dev/null 2>&1 || cmake --preset service  # its messages on failure
    cmake --build build/service --target "$@" --parallel 2 >/dev/null
    LOOKUP_PATH="$(lookup_path build/service/lookupd/brisvane-lookupd)"
}

# The lookup page's path that the service was built with (BRISVANE_LOOKUP_PATH): its default.
#   lookup_path BINARY
lookup_path() {
    "$1" --print-config | sed -n 's/^# path = "\(.*\)"$/\1/p'
}

# A TCP port on 127.0.0.1 that nothing listens on now.
free_port() {
    local port
    while :; do
        port=$((20000 + RANDOM % 40000))
        if ! ss -Htln "sport = :$port" | grep -q .; then
            echo "$port"
            return
        fi
    done
}

# The directory of the benchmark: the service account of scripts/lib/slapd.sh and members
# m00001..mNNNNN, each with a home share on files1.campus.example.
members_ldif() {
    local count="$1"
    cat <<'LDIF'
dn: dc=campus,dc=example
objectClass: dcObject
objectClass: organization
dc: campus
o: Campus

dn: ou=services,dc=campus,dc=example
objectClass: organizationalUnit
ou: services

dn: ou=people,dc=campus,dc=example
objectClass: organizationalUnit
ou: people

dn: cn=brisvane-lookup,ou=services,dc=campus,dc=example
objectClass: organizationalRole
objectClass: simpleSecurityObject
cn: brisvane-lookup
userPassword: lookup-secret

LDIF
    seq -f '%05g' 1 "$count" | awk '{
        printf "dn: uid=m%s,ou=people,dc=campus,dc=example\n", $1
        printf "objectClass: inetOrgPerson\nobjectClass: posixAccount\n"
        printf "uid: m%s\ncn: Member %s\nsn: Member\n", $1, $1
        printf "uidNumber: %d\ngidNumber: 10000\n", 20000 + $1
        printf "homeDirectory: \\\\files1.campus.example\\homes\\m%s\n\n", $1
    }'
}

# The service's configuration on the directory at ldap://127.0.0.1:LDAP_PORT:
#   service_config FILE ADDRESS LDAP_PORT PASSWORD_FILE [CERT KEY]
# No cap and no rate limit per client address: the load comes from one address (wrk or the
# balancer); the bind password goes to slapd on 127.0.0.1 without TLS. Lines in
# $LOOKUP_DIRECTORY_SETTINGS are added to [directory].
service_config() {
    local file="$1" address="$2" ldap_port="$3" password_file="$4" cert="${5:-}" key="${6:-}"
    {
        echo "[listen]"
        echo "address = \"$address\""
        echo "path = \"$LOOKUP_PATH\""
        if [ -n "$cert" ]; then
            echo "tls_certificate = \"$cert\""
            echo "tls_key = \"$key\""
        fi
        echo "[limits]"
        echo "connections_per_address = 0"
        echo "requests_per_second_per_address = 0"
        echo "[directory]"
        echo "urls = [\"ldap://127.0.0.1:$ldap_port\"]"
        echo "allow_plain_bind = true"
        echo "bind_dn = \"$LOOKUP_BIND_DN\""
        echo "bind_password_file = \"$password_file\""
        echo "base_dn = \"ou=people,dc=campus,dc=example\""
        echo "filter = \"(uid=%s)\""
        if [ -n "${LOOKUP_DIRECTORY_SETTINGS:-}" ]; then
            echo "$LOOKUP_DIRECTORY_SETTINGS"
        fi
        echo "[organisation]"
        echo "file_servers = [\".campus.example\"]"
    } >"$file"
}

# Starts the service in the background with CONFIG, its output in LOG; the pid in
# $service_pid. Returns once the port accepts connections.
#   start_service BINARY CONFIG LOG PORT
start_service() {
    local binary="$1" config="$2" log="$3" port="$4"
    "$binary" --config "$config" >"$log" 2>&1 &
    service_pid=$!
    wait_listening brisvane-lookupd "$service_pid" "$port" "$log"
}

# Returns once PID accepts connections on 127.0.0.1:PORT; fails, showing the LOGS, if it ends
# first or does not listen within 10 s.
#   wait_listening NAME PID PORT LOG...
wait_listening() {
    local name="$1" pid="$2" port="$3"
    shift 3
    for _ in $(seq 100); do
        if ! kill -0 "$pid" 2>/dev/null; then
            echo "$name did not start:" >&2
            cat "$@" >&2 2>/dev/null
            return 1
        fi
        if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
            return 0
        fi
        sleep 0.1
    done
    echo "$name did not listen on port $port within 10 s" >&2
    return 1
}

# Starts nginx in the foreground of a background job with the configuration CONFIG (whose
# pid, error log and temporary folders are under DIR); the pid in $nginx_pid. Returns once PORT
# accepts connections.
#   start_nginx DIR CONFIG PORT
start_nginx() {
    local dir="$1" config="$2" port="$3"
    mkdir -p "$dir/logs" "$dir/temp"
    nginx -p "$dir" -c "$config" -e "$dir/logs/error.log" -g 'daemon off;' \
        >"$dir/logs/stdout.log" 2>&1 &
    nginx_pid=$!
    wait_listening nginx "$nginx_pid" "$port" "$dir/logs/stdout.log" "$dir/logs/error.log"
}

# The settings every private nginx of these scripts shares: its files under its prefix, no
# access log, as many workers as cores.
nginx_common_config() {
    cat <<'CONF'
worker_processes auto;
pid nginx.pid;
events { worker_connections 1024; }
CONF
}

nginx_http_common_config() {
    cat <<'CONF'
    access_log off;
    client_body_temp_path temp/client;
    proxy_temp_path temp/proxy;
    fastcgi_temp_path temp/fastcgi;
    uwsgi_temp_path temp/uwsgi;
    scgi_temp_path temp/scgi;
    keepalive_requests 1000000;
CONF
}

# The whole configuration of a private nginx that balances over two instances on 127.0.0.1, as
# docs/lookup-service.md shows it (bench/lookupd/balancer.conf.in), listening on LISTEN (host:port) and
# checking the instances' certificates against CA (a path from nginx's prefix, or absolute).
#   balancer_config PORT1 PORT2 LISTEN CA
balancer_config() {
    nginx_common_config
    echo "http {"
    nginx_http_common_config
    sed -e "s/@PORT1@/$1/; s/@PORT2@/$2/; s/@LISTEN@/$3/" \
        -e "s#@PATH@#$LOOKUP_PATH#; s#@CA@#$4#" "$bench_lookupd_dir/balancer.conf.in"
    echo "}"
}

# Stops a process of ours by its pid and waits for it (TERM, then KILL after 10 s).
# A private folder for one run ($work, searchable by nginx's workers, which may run as another
# user) and the processes the run starts ($pids, appended to by the caller): on exit, however
# the run ends, each process and the directory in $work/slapd are stopped and the folder goes.
begin_work() {
    work="$(mktemp -d)"
    chmod 711 "$work"
    pids=()
    trap end_work EXIT
    trap 'exit 1' INT TERM
}

end_work() {
    local pid
    for pid in "${pids[@]}"; do
        stop_pid "$pid"
    done
    slapd_stop "$work/slapd"
    rm -rf "$work"
}

stop_pid() {
    local pid="$1"
    kill "$pid" 2>/dev/null || return 0
    for _ in $(seq 100); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

# Resident memory of a process, in KiB.
rss_kib() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }

# Runs wrk with lookup.lua: run_wrk URL CONNECTIONS DURATION [ENV=VALUE...]; prints the script's
# "result ..." line (status 1 without one).
run_wrk() {
    local url="$1" connections="$2" duration="$3"
    shift 3
    local threads=2
    if [ "$connections" -lt 2 ]; then
        threads=1
    fi
    local output
    output="$(env LOOKUP_PATH="$LOOKUP_PATH" LOOKUP_THREADS="$threads" "$@" \
        wrk -t "$threads" -c "$connections" -d "$duration" --timeout 10s \
        -s "$bench_lookupd_dir/lookup.lua" "$url" 2>&1)" || true
    if ! grep '^result ' <<<"$output"; then
        echo "wrk gave no result:" >&2
        echo "$output" >&2
        return 1
    fi
}

# A field of a "result ..." line: field LINE NAME.
field() { sed -n "s/.* $2=\([^ ]*\).*/\1/p" <<<" $1"; }
