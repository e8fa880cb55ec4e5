#!/usr/bin/env bash
# brisvane-lookupd on a real Active Directory domain (scripts/lib/samba-ad.sh, started by the
# ctest fixture), with the Active Directory example's configuration (--print-config) and this
# domain's names: ldaps and StartTLS against the domain's CA, ldaps against an organisation's
# own authority (Samba restarted with its certificate, and with its own again at the end), binds
# by DN and by user principal name, a replica that is down, continuation references that are
# never followed (no DNS query), non-ASCII names and names in another case, disabled members, AD
# refusing a bind without TLS or with a wrong password, and --try's exit codes. The service and
# --try run in a mount namespace of their own that reaches the DC by name through the domain's
# hosts file and sends DNS queries to a recorder on loopback.
#
# Usage: tests/lookupd/active_directory_test.sh DOMAIN_DIR path/to/brisvane-lookupd
set -uo pipefail
domain="$1"
binary="$(realpath "$2")"
root="$(cd "$(dirname "$0")/../.." && pwd)"
source "$root/scripts/lib/lookup-service.sh"
source "$root/scripts/lib/samba-ad.sh"
source "$root/scripts/lib/test-pki.sh"

work="$(mktemp -d "${TMPDIR:-/tmp}/lookupd-ad.XXXXXX")"
pids=()
organisation_certificate=""  # set while Samba serves the organisation's certificate
cleanup() {
    local pid
    [ -z "$organisation_certificate" ] || samba_ad_tls "$domain"
    for pid in "${pids[@]}"; do
        { kill -KILL "$pid" && wait "$pid"; } 2>/dev/null
    done
    rm -rf "$work"
}
trap cleanup EXIT

failures=0
check() {  # check DESCRIPTION COMMAND...
    local what="$1"
    shift
    if "$@"; then printf 'ok    %s\n' "$what"; else printf 'FAIL  %s\n' "$what"; failures=$((failures + 1)); fi
}

# dc2 is a replica that is down: its address has nothing listening. The machine's own name is
# there too, as in any /etc/hosts: libldap looks it up once as it starts.
{
    cat "$domain/hosts"
    echo "127.0.0.9 dc2.campus.example"
    echo "127.0.1.1 $(hostname)"
} >"$work/hosts"
echo "nameserver 127.0.0.53" >"$work/resolv.conf"
python3 - "$work/dns-queries" >"$work/dns.log" 2>&1 <<'PY' &
import socket, sys
server = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
server.bind(("127.0.0.53", 53))
print("listening", flush=True)
while True:
    query, _ = server.recvfrom(512)
    labels, at = [], 12
    while at < len(query) and query[at] != 0:
        labels.append(query[at + 1:at + 1 + query[at]].decode(errors="replace"))
        at += 1 + query[at]
    with open(sys.argv[1], "a") as log:
        log.write(".".join(labels) + "\n")
PY
pids+=("$!")
until grep -q listening "$work/dns.log" 2>/dev/null; do sleep 0.1; done
: >"$work/dns-queries"

# in_domain CMD...: CMD with the domain's hosts file and the recording resolver.
in_domain() {
    unshare --mount --propagation private sh -c \
        'mount --bind "$0" /etc/hosts && mount --bind "$1" /etc/resolv.conf && shift && exec "$@"' \
        "$work/hosts" "$work/resolv.conf" "$@"
}

# configure NAME SETTING...: the example's configuration with this domain's names, plain HTTP on
# a free port, then SETTINGs (SECTION.KEY=VALUE).
configure() {
    local name="$1"
    shift
    lookup_service_settings "$binary" active-directory 'listen.address="127.0.0.1:0"' \
        'listen.tls_certificate=""' 'listen.tls_key=""' \
        'limits.allowed_networks=["127.0.0.0/8"]' \
        'directory.urls=["ldaps://dc2.campus.example", "ldaps://dc1.campus.example"]' \
        "directory.bind_password_file=\"$work/bind-password\"" \
        "directory.ca_file=\"$domain/ca.pem\"" 'organisation.file_servers=["files1"]' \
        'log.usernames=true' "$@" >"$work/$name.toml"
}

# start NAME: the service of NAME.toml; sets $port and $observe_port.
start() {
    in_domain "$binary" --config "$work/$1.toml" >"$work/$1.log" 2>&1 &
    pids+=("$!")
    local _
    for _ in $(seq 100); do
        port="$(sed -n 's|^listening on http://[^ ]*:\([0-9]*\)/.*|\1|p' "$work/$1.log")"
        observe_port="$(sed -n 's|^health and metrics on http://[^ ]*:\([0-9]*\) .*|\1|p' \
            "$work/$1.log")"
        [ -n "$port" ] && return 0
        sleep 0.1
    done
    echo "the service $1 did not start:"
    cat "$work/$1.log"
    exit 1
}

# ask USERFIELD: $status, $headers and $body of a lookup.
ask() {
    status="$(curl -sS --max-time 20 -D "$work/headers" -o "$work/body" -w '%{http_code}' \
        --data-binary "user=$1" "http://127.0.0.1:$port/cs/servers/serversearch.asp")"
    body="$(cat "$work/body")"
}
expect_share() {  # expect_share USERFIELD LOCATOR
    ask "$1"
    check "$1: $2" test "$status" = 200 -a "$(grep -c 'smb://' <<<"$body")" = 1 \
        -a "$(grep -o 'smb://[^<]*' <<<"$body")" = "$2"
}
expect_none() {  # expect_none USERFIELD
    ask "$1"
    check "$1: 200 without a locator" test "$status" = 200 -a "$(grep -c 'smb://' <<<"$body")" = 0
}

cp "$domain/bind-password" "$work/bind-password"
chmod 600 "$work/bind-password"

echo "== ldaps, bound by DN, from the domain's root; dc2 is down and passed over"
configure ldaps 'observe.address="127.0.0.1:0"'
start ldaps
expect_share alice 'smb://files1/alice$'
expect_share ALICE 'smb://files1/alice$'
expect_share 'j%C3%BCrgen' 'smb://files1/jürgen'
expect_share 'J%C3%9CRGEN' 'smb://files1/jürgen'
expect_none jurgen
expect_none dora
expect_none nobody
expect_none oscar
check "oscar's server is logged as off the list" \
    grep -q 'outcome=refused-server.*user="oscar"' "$work/ldaps.log"
check "the continuation references asked no DNS server ($(paste -sd ' ' "$work/dns-queries"))" \
    test ! -s "$work/dns-queries"

echo "== StartTLS, bound by user principal name"
configure starttls 'directory.urls=["ldap://dc1.campus.example"]' 'directory.start_tls=true' \
    'directory.bind_dn="brisvane-lookup@campus.example"'
start starttls
expect_share alice 'smb://files1/alice$'

echo "== AD refuses a simple bind without TLS"
configure plain 'directory.urls=["ldap://dc1.campus.example"]' 'directory.allow_plain_bind=true'
start plain
ask alice
check "503 with Retry-After" test "$status" = 503 -a "$(grep -ci '^Retry-After:' "$work/headers")" = 1
check "the log quotes AD: Strong(er) authentication required" \
    grep -q 'Strong(er) authentication required' "$work/plain.log"

echo "== A wrong service password: 503 for members, /readyz down, the log says why"
printf 'not-the-password\n' >"$work/wrong-password"
chmod 600 "$work/wrong-password"
configure wrong "directory.bind_password_file=\"$work/wrong-password\"" \
    'observe.address="127.0.0.1:0"'
start wrong
ask alice
check "503 with Retry-After" test "$status" = 503 -a "$(grep -ci '^Retry-After:' "$work/headers")" = 1
check "/readyz: 503" test "$(curl -s -o /dev/null -w '%{http_code}' \
    "http://127.0.0.1:$observe_port/readyz")" = 503
check "the log says the credentials are invalid" grep -q 'Invalid credentials' "$work/wrong.log"

echo "== --try"
try() {  # try CONFIG USERNAME: sets $code, --try's exit status; its output in $work/try.out
    in_domain "$binary" --config "$work/$1.toml" --try "$2" >"$work/try.out" 2>&1
    code=$?
}
try ldaps alice
check "alice: 0 and her locator ($(tail -1 "$work/try.out"))" test "$code" = 0 -a \
    "$(grep -c 'alice: smb://files1/alice\$' "$work/try.out")" = 1
try ldaps dora
check "dora (disabled): 1" test "$code" = 1
try wrong alice
check "a wrong service password: 3, the bind named" test "$code" = 3 -a \
    "$(grep -c 'bind as .*Invalid credentials' "$work/try.out")" = 1
configure catalog 'directory.urls=["ldaps://dc1.campus.example:3269"]'
try catalog alice
check "the global catalog: 2 (the configuration refused)" test "$code" = 2
check "each step timed: connect, TLS, bind, search" \
    test "$(in_domain "$binary" --config "$work/ldaps.toml" --try alice |
        grep -cE '^  (connect|TLS|bind|search) ')" = 4

echo "== A certificate from the organisation's own authority, then the DC's own again"
mkdir -m 0700 "$work/pki"
_test_pki_certificate "$work/pki" ca "Campus Example Authority" self
_test_pki_certificate "$work/pki" dc1 dc1.campus.example ca
organisation_certificate=yes
check "Samba serves the organisation's certificate" \
    samba_ad_tls "$domain" "$work/pki/dc1.pem" "$work/pki/dc1.key" "$work/pki/ca.pem"
configure organisation "directory.ca_file=\"$work/pki/ca.pem\""
try organisation alice
check "checked against the organisation's authority: 0" test "$code" = 0
try ldaps alice
check "checked against the domain's own authority: 3, the certificate named" \
    test "$code" = 3 -a "$(grep -ci 'certificate' "$work/try.out")" -ge 1
check "Samba serves its own certificate again" samba_ad_tls "$domain" && organisation_certificate=""

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed. Logs:"
    tail -n 20 "$work"/*.log
    exit 1
fi
echo "All Active Directory checks of the lookup service passed."
