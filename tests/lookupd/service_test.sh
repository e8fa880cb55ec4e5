#!/usr/bin/env bash
# brisvane-lookupd on real parts: its own slapd with the test directory
# (standins/directory/test-members.ldif), its own throwaway certificates, the real service over
# TLS, asked by curl as the client asks. Also the members file over plain HTTP, the limits, the
# directory stopped, hung and started again under a running service, and the cache of answers
# seeing a change in the directory.
#
# Usage: tests/lookupd/service_test.sh path/to/brisvane-lookupd
set -uo pipefail
binary="$(realpath "$1")"
root="$(cd "$(dirname "$0")/../.." && pwd)"
source "$root/scripts/lib/slapd.sh"
source "$root/scripts/lib/test-pki.sh"

work="$(mktemp -d "${TMPDIR:-/tmp}/lookupd-test.XXXXXX")"
service_pids=()
cleanup() {
    local pid
    for pid in "${service_pids[@]}"; do
        { kill -KILL "$pid" && wait "$pid"; } 2>/dev/null
    done
    kill -CONT "$(cat "$work/slapd/slapd.pid" 2>/dev/null)" 2>/dev/null
    kill -CONT "$(cat "$work/replica/slapd.pid" 2>/dev/null)" 2>/dev/null
    slapd_stop "$work/slapd"
    slapd_stop "$work/replica"
    rm -rf "$work"
}
trap cleanup EXIT

failures=0
pass() { printf 'ok    %s\n' "$1"; }
fail() {
    printf 'FAIL  %s\n' "$1"
    failures=$((failures + 1))
}
check() {  # check DESCRIPTION COMMAND...
    local what="$1"
    shift
    if "$@"; then pass "$what"; else fail "$what"; fi
}

make_test_pki "$work/pki" || exit 1
# slapd on free ports, with StartTLS and ldaps:// under the test CA's certificate for
# 127.0.0.1: a random port is tried, and another if it was taken.
export SLAPD_TLS_CERT="$work/pki/directory.pem" SLAPD_TLS_KEY="$work/pki/directory.key"
export SLAPD_ROOTPW=admin-secret  # the cache's check changes an entry with ldapmodify
# start_directory DIR: sets $ldap_port (and SLAPD_LDAPS_PORT, the next one).
start_directory() {
    local _
    for _ in 1 2 3 4 5; do
        ldap_port=$((20000 + RANDOM % 40000))
        export SLAPD_LDAPS_PORT=$((ldap_port + 1))
        slapd_start "$1" "$ldap_port" "$root/standins/directory/test-members.ldif" 2>/dev/null &&
            return 0
        rm -rf "$1"
    done
    echo "cannot start slapd"
    exit 1
}
start_directory "$work/replica"
replica_port=$ldap_port
start_directory "$work/slapd"
(umask 077 && printf 'lookup-secret\n' >"$work/bind-password")
# The bind password as systemd hands it over (LoadCredential=): a read-only folder of the
# service's own, the credential read-only for its owner.
mkdir -p "$work/credentials"
cp "$work/bind-password" "$work/credentials/bind-password"
chmod 0400 "$work/credentials/bind-password"
chmod 0500 "$work/credentials"
export CREDENTIALS_DIRECTORY="$work/credentials"

# start_service NAME CONFIG: runs the service with CONFIG (port 0: any free one), waits until
# it listens, sets $port (and $observe_port) and $service_pid; its log is $work/NAME.log.
start_service() {
    local name="$1" config="$2"
    "$binary" --config "$config" >"$work/$name.log" 2>&1 &
    service_pids+=("$!")
    service_pid=$!
    local _
    for _ in $(seq 100); do
        port="$(sed -n 's|^listening on https\{0,1\}://[^ ]*:\([0-9]*\)/.*|\1|p' "$work/$name.log")"
        observe_port="$(sed -n 's|^health and metrics on http://[^ ]*:\([0-9]*\) .*|\1|p' \
            "$work/$name.log")"
        [ -n "$port" ] && return 0
        sleep 0.05
    done
    echo "the service $name did not start:"
    cat "$work/$name.log"
    exit 1
}

url() { echo "$scheme://localhost:$port/cs/servers/serversearch.asp"; }

# ask BODY [CURL OPTION...]: posts BODY as the client does; $status and $body hold the answer.
ask() {
    local data="$1"
    shift
    status="$(curl -sS --max-time 10 --cacert "$work/pki/ca.pem" -o "$work/body" \
        -w '%{http_code}' -H "Content-Type: ${content_type:-application/x-www-form-urlencoded}" \
        --data-binary "$data" "$@" "$(url)" 2>"$work/curl.err")"
    body="$(cat "$work/body" 2>/dev/null)"
}

locator_lines() { grep -c 'smb://' <<<"$body"; }

# expect_share USERFIELD LINE: 200 and the page's one locator line is exactly LINE.
expect_share() {
    ask "user=$1"
    local line
    line="$(grep 'smb://' <<<"$body")"
    check "user=$1: 200, exactly one locator line, $2" \
        test "$status" = 200 -a "$(locator_lines)" = 1 -a "$line" = "<tr><td>$2</td></tr>"
}

# expect_none USERFIELD: 200 and a page without locator.
expect_none() {
    ask "user=$1"
    check "user=$1: 200 without locator" test "$status" = 200 -a "$(locator_lines)" = 0
}

cat >"$work/directory.toml" <<TOML
[listen]
address = "127.0.0.1:0"
tls_certificate = "$work/served.pem"
tls_key = "$work/served.key"

[limits]
idle_timeout = "2s"
connections_per_address = 4

[directory]
urls = ["ldap://127.0.0.1:1", "ldap://127.0.0.1:$ldap_port"]
allow_plain_bind = true
bind_dn = "cn=brisvane-lookup,ou=services,dc=campus,dc=example"
bind_password_file = "\${CREDENTIALS_DIRECTORY}/bind-password"
base_dn = "dc=campus,dc=example"
filter = "(uid=%s)"
timeout = "1s"
retry_after = "2s"

[organisation]
file_servers = ["files1.campus.example", ".campus.example"]

[log]
usernames = true

[observe]
address = "127.0.0.1:0"
TOML
cp "$work/pki/localhost.pem" "$work/served.pem"
cp "$work/pki/localhost.key" "$work/served.key"

echo "== The directory over HTTPS (the first URL is down: the second answers)"
check "--check-config accepts the configuration" "$binary" --config "$work/directory.toml" \
    --check-config
scheme=https
start_service ldap "$work/directory.toml"
ldap_pid=$service_pid
expect_share alice smb://files1.campus.example/homes/alice
expect_share 'j%C3%BCrgen' smb://files2.campus.example/homes/juergen
expect_share carol 'smb://files1.campus.example/carol$'
expect_none nobody
expect_none nohome
expect_none mallory
check "the off-list server is logged as a warning" \
    grep -q 'outcome=refused-server.*warning=.*files.evil.example' "$work/ldap.log"
expect_none twin
expect_none brokenline
# The filter's metacharacters match only themselves: each name finds its own entry or none.
expect_share 'star*' smb://files1.campus.example/homes/star
expect_share 'paren%28s%29' smb://files1.campus.example/homes/paren
expect_share 'back%5Cslash' smb://files1.campus.example/homes/backslash
for injection in '*' 'al*' 'a*e' 'alice%29%28uid%3D*' '*%29%28%7C%28uid%3D*' 'alice%00' \
    'star%5C2a'; do
    expect_none "$injection"
done

echo "== TLS: only suites with forward secrecy and authenticated encryption"
# tls_handshake PRIORITY: whether gnutls-cli completes a handshake with the service offering
# only what PRIORITY allows.
tls_handshake() {
    gnutls-cli --x509cafile "$work/pki/ca.pem" --priority "$1" -p "$port" localhost \
        </dev/null >/dev/null 2>&1
}
tls12="NORMAL:-VERS-ALL:+VERS-TLS1.2"
while read -r expected suite priority; do
    if tls_handshake "$priority"; then result=accepted; else result=refused; fi
    check "$suite: $expected" test "$result" = "$expected"
done <<SUITES
accepted TLS1.3 NORMAL:-VERS-ALL:+VERS-TLS1.3
accepted ECDHE-RSA-AES128-GCM-SHA256 $tls12:-CIPHER-ALL:+AES-128-GCM:-KX-ALL:+ECDHE-RSA
accepted ECDHE-RSA-CHACHA20-POLY1305 $tls12:-CIPHER-ALL:+CHACHA20-POLY1305:-KX-ALL:+ECDHE-RSA
refused AES128-SHA $tls12:-CIPHER-ALL:+AES-128-CBC:-MAC-ALL:+SHA1:-KX-ALL:+RSA
refused ECDHE-RSA-AES128-SHA $tls12:-CIPHER-ALL:+AES-128-CBC:-MAC-ALL:+SHA1:-KX-ALL:+ECDHE-RSA
refused AES128-GCM-SHA256 $tls12:-CIPHER-ALL:+AES-128-GCM:-KX-ALL:+RSA
refused TLS1.1 NORMAL:-VERS-ALL:+VERS-TLS1.1
SUITES

echo "== Hostile input (the service keeps serving)"
ask "user=$(head -c 5000 /dev/zero | tr '\0' a)"
check "a body over 4 KiB: 413" test "$status" = 413
ask "user=$(head -c 5000 /dev/zero | tr '\0' a)" -H 'Transfer-Encoding: chunked'
check "a chunked body growing over 4 KiB: 413" test "$status" = 413
ask "user=alice" -X PUT
check "PUT: 405" test "$status" = 405
status="$(curl -sS --max-time 10 --cacert "$work/pki/ca.pem" -o /dev/null -w '%{http_code}' "$(url)")"
check "GET: 405" test "$status" = 405
content_type=text/plain ask "user=alice"
check "text/plain: 415" test "$status" = 415
expect_none "$(head -c 257 /dev/zero | tr '\0' a)"
expect_none 'ali%00ce'
ask "user=alice&user=bob"
check "two user fields: 400" test "$status" = 400
ask "user=alice" --http1.0 -H 'Content-Length: 999999999' --max-time 5
check "an announced body over 4 KiB: 413 before it is sent" test "$status" = 413
# A client that connects and sends nothing is cut after the idle time-out (2 s here).
started=$SECONDS
exec 3<>"/dev/tcp/127.0.0.1/$port"
timeout 10 cat <&3 >/dev/null
cut=$?
exec 3<&-
check "an idle connection is closed after the 2 s idle time-out (took $((SECONDS - started)) s)" \
    test "$cut" != 124
# Four connections per address: a fifth is refused while they stay open.
for fd in 4 5 6 7; do
    eval "exec $fd<>/dev/tcp/127.0.0.1/$port"
done
ask "user=alice"
check "a fifth connection from one address is refused" test "$status" != 200
for fd in 4 5 6 7; do
    eval "exec $fd<&-"
done
sleep 0.2
expect_share alice smb://files1.campus.example/homes/alice
check "the service still runs" kill -0 "$ldap_pid"

# observe PATH: the status of GET PATH on the health and metrics address.
observe() {
    curl -sS --max-time 10 -o "$work/observed" -w '%{http_code}' "http://127.0.0.1:$observe_port$1"
}
check "/healthz: 200" test "$(observe /healthz)" = 200
# Eight connections from one address that send nothing: a ninth's request is answered 503.
for fd in 4 5 6 7 8 9 10 11; do
    eval "exec $fd<>/dev/tcp/127.0.0.1/$observe_port"
done
check "/healthz over the health listener's cap per address: 503" test "$(observe /healthz)" = 503
for fd in 4 5 6 7 8 9 10 11; do
    eval "exec $fd<&-"
done
sleep 0.2
check "/readyz with the directory up: 200" test "$(observe /readyz)" = 200
observe /metrics >/dev/null
check "/metrics counts the lookups by outcome" \
    grep -q '^brisvane_lookups_total{outcome="found"} [1-9]' "$work/observed"

echo "== The directory hung, stopped and started again (no restart of the service)"
kill -STOP "$(cat "$work/slapd/slapd.pid")"
started_ns=$(date +%s%N)
ask "user=alice" -D "$work/headers"
took_ms=$((($(date +%s%N) - started_ns) / 1000000))
check "slapd hung: 503 with Retry-After: 2, within the 1 s time-out ($took_ms ms)" \
    test "$status" = 503 -a "$took_ms" -lt 5000 -a "$(grep -ci '^Retry-After: 2' "$work/headers")" = 1
kill -CONT "$(cat "$work/slapd/slapd.pid")"
slapd_stop "$work/slapd"
ask "user=alice" -D "$work/headers"
check "slapd stopped: 503 with Retry-After" \
    test "$status" = 503 -a "$(grep -ci '^Retry-After:' "$work/headers")" = 1
check "/readyz with the directory stopped: 503, /healthz still 200" \
    test "$(observe /readyz)" = 503 -a "$(observe /healthz)" = 200
slapd_start "$work/slapd" "$ldap_port" || exit 1
expect_share alice smb://files1.campus.example/homes/alice
check "the same service process answered" kill -0 "$ldap_pid"

echo "== SIGHUP reads the TLS certificate again; SIGTERM answers what is in flight"
# reload_and_wait LOG_TEXT: SIGHUP, then until the log says LOG_TEXT once more.
reload_and_wait() {
    local before
    before="$(grep -c "$1" "$work/ldap.log")"
    kill -HUP "$ldap_pid"
    for _ in $(seq 100); do
        [ "$(grep -c "$1" "$work/ldap.log")" -gt "$before" ] && return 0
        sleep 0.1
    done
}
served_serial() {
    gnutls-cli --x509cafile "$work/pki/ca.pem" -p "$port" localhost --print-cert </dev/null \
        2>/dev/null | certtool -i 2>/dev/null | sed -n 's/^[[:space:]]*Serial Number.*: //p'
}
# A renewal by the same authority, with a new key, under a client that asks all along.
_test_pki_certificate "$work/pki" renewed localhost ca
old_serial="$(served_serial)"
(
    failures_seen=0
    while [ ! -e "$work/stop-asking" ]; do
        code="$(curl -sS --max-time 10 --cacert "$work/pki/ca.pem" -o /dev/null -w '%{http_code}' \
            -H "Content-Type: application/x-www-form-urlencoded" --data-binary "user=alice" \
            "$(url)" 2>/dev/null)"
        [ "$code" = 200 ] || failures_seen=$((failures_seen + 1))
        echo x >>"$work/asked"
    done
    echo "$failures_seen" >"$work/failures-seen"
) &
looping=$!
sleep 0.5
cp "$work/pki/renewed.pem" "$work/served.pem"
cp "$work/pki/renewed.key" "$work/served.key"
reload_and_wait 'certificate and key were read again'
sleep 0.5
touch "$work/stop-asking"
wait "$looping"
check "a client asking all through the renewal saw no failure ($(wc -l <"$work/asked") lookups)" \
    test "$(cat "$work/failures-seen")" = 0
check "after the renewal the new certificate is served" test "$(served_serial)" != "$old_serial"
# A key that does not match the certificate: the old pair stays, the log says why.
cp "$work/pki/localhost.pem" "$work/served.pem"
reload_and_wait 'were not renewed'
check "a mismatched pair is not taken, and the log says so in GnuTLS's words" \
    grep -q 'not renewed, the old ones stay in use: .*do not match' "$work/ldap.log"
check "nothing blames an address in use" test "$(grep -ci 'address.*in use' "$work/ldap.log")" = 0
ask "user=alice"
check "the renewed certificate still serves" test "$status" = 200
cp "$work/pki/untrusted-localhost.pem" "$work/served.pem"
cp "$work/pki/untrusted-localhost.key" "$work/served.key"
reload_and_wait 'certificate and key were read again' 
ask "user=alice"
check "after SIGHUP the old CA no longer verifies the service" test "$status" = 000
ask "user=alice" --cacert "$work/pki/untrusted-ca.pem"
check "after SIGHUP the new certificate is served" test "$status" = 200
kill -STOP "$(cat "$work/slapd/slapd.pid")"
(
    ask "user=alice" --cacert "$work/pki/untrusted-ca.pem"
    echo "$status" >"$work/in-flight"
) &
asking=$!
sleep 0.4
kill -TERM "$ldap_pid"
wait "$ldap_pid"
stopped=$?
wait "$asking"
kill -CONT "$(cat "$work/slapd/slapd.pid")"
check "SIGTERM stops the service with status 0" test "$stopped" = 0
check "the lookup in flight at SIGTERM was answered (503: the directory hangs)" \
    test "$(cat "$work/in-flight")" = 503

echo "== The directory over StartTLS and ldaps://: its certificate is always checked"
# directory_config NAME URL CA_FILE [START_TLS]: a plain-HTTP service on that directory; the
# bind password may go to an ldap:// URL without StartTLS.
directory_config() {
    cat >"$work/$1.toml" <<TOML
[listen]
address = "127.0.0.1:0"
[directory]
urls = ["$2"]
start_tls = ${4:-false}
allow_plain_bind = true
bind_dn = "cn=brisvane-lookup,ou=services,dc=campus,dc=example"
bind_password_file = "$work/bind-password"
base_dn = "dc=campus,dc=example"
filter = "(uid=%s)"
timeout = "2s"
ca_file = "$3"
[organisation]
file_servers = [".campus.example"]
TOML
}
scheme=http
directory_config starttls "ldap://127.0.0.1:$ldap_port" "$work/pki/ca.pem" true
directory_config ldaps "ldaps://127.0.0.1:$SLAPD_LDAPS_PORT" "$work/pki/ca.pem"
directory_config untrusted "ldap://127.0.0.1:$ldap_port" "$work/pki/untrusted-ca.pem" true
# The certificate names 127.0.0.1 only, not localhost.
directory_config wronghost "ldaps://localhost:$SLAPD_LDAPS_PORT" "$work/pki/ca.pem"
for name in starttls ldaps; do
    start_service "$name" "$work/$name.toml"
    ask "user=alice"
    check "$name with the test CA: alice found" test "$status" = 200 -a "$(locator_lines)" = 1
done
for name in untrusted wronghost; do
    start_service "$name" "$work/$name.toml"
    ask "user=alice"
    check "$name: 503, the directory's certificate refused" test "$status" = 503
done

echo "== A replica that hangs, first in the list: the next one answers within the time-out"
kill -STOP "$(cat "$work/replica/slapd.pid")"
directory_config hungfirst "ldap://127.0.0.1:$replica_port" "$work/pki/ca.pem"
sed -i "s|^urls = .*|urls = [\"ldap://127.0.0.1:$replica_port\", \"ldap://127.0.0.1:$ldap_port\"]|" \
    "$work/hungfirst.toml"
start_service hungfirst "$work/hungfirst.toml"
ask "user=alice"
check "the hung replica is passed over: alice found" test "$status" = 200 -a "$(locator_lines)" = 1
kill -CONT "$(cat "$work/replica/slapd.pid")"

echo "== Replicas whose TLS handshake stalls, first in the list: the next one answers"
# stalling_directory MODE: a replica that stalls (tests/lookupd/stalling_directory.py) on a free
# port, in $stall_port; it is ended with the services.
stalling_directory() {
    python3 "$root/tests/lookupd/stalling_directory.py" "$1" >"$work/stall-$1.port" &
    service_pids+=("$!")
    local _
    for _ in $(seq 100); do
        stall_port="$(cat "$work/stall-$1.port")"
        [ -n "$stall_port" ] && return 0
        sleep 0.05
    done
    echo "the stalling directory ($1) did not start"
    exit 1
}
# passed_over NAME FIRST_URL SECOND_URL [START_TLS]: a service on the two URLs (timeout 2 s)
# finds alice through the second.
passed_over() {
    directory_config "$1" "$2" "$work/pki/ca.pem" "${4:-false}"
    sed -i "s|^urls = .*|urls = [\"$2\", \"$3\"]|" "$work/$1.toml"
    start_service "$1" "$work/$1.toml"
    local started_ns took_ms
    started_ns=$(date +%s%N)
    ask "user=alice"
    took_ms=$((($(date +%s%N) - started_ns) / 1000000))
    check "$1: the stalled replica is passed over within the time-out, alice found ($took_ms ms)" \
        test "$status" = 200 -a "$(locator_lines)" = 1
}
stalling_directory silent
silent_port=$stall_port
passed_over silent-ldaps "ldaps://127.0.0.1:$silent_port" "ldaps://127.0.0.1:$SLAPD_LDAPS_PORT"
stalling_directory starttls
passed_over stalled-starttls "ldap://127.0.0.1:$stall_port" "ldap://127.0.0.1:$ldap_port" true
# One connection, one search and no queue: while a lookup waits for the stalled replica, the
# next one is refused at once as too busy.
directory_config busy "ldaps://127.0.0.1:$silent_port" "$work/pki/ca.pem"
sed -i '/^filter = /a connections = 1\nsearches_per_connection = 1\nqueue = 0' "$work/busy.toml"
start_service busy "$work/busy.toml"
curl -sS --max-time 10 -o /dev/null -d user=alice "$(url)" 2>/dev/null &
waiting=$!
sleep 0.5
ask "user=bob"
wait "$waiting"
check "a lookup over the queue's bound: 503 at once, logged as too busy" \
    test "$status" = 503 -a "$(grep -c 'warning=.*too busy' "$work/busy.log")" = 1

echo "== Anonymous, a replica that is down first in the list: the next one is asked"
directory_config anonymous "ldap://127.0.0.1:1" ""
sed -i -e "s|^urls = .*|urls = [\"ldap://127.0.0.1:1\", \"ldap://127.0.0.1:$ldap_port\"]|" \
    -e '/^bind_dn\|^bind_password_file\|^ca_file/d' "$work/anonymous.toml"
start_service anonymous "$work/anonymous.toml"
ask "user=alice"
# The directory shows members to bound users only: anonymously alice is unknown, not a 503.
check "anonymous: the down replica is passed over (200)" test "$status" = 200

echo "== A base DN that is a referral: 503, said once in the log, no reconnect per lookup"
directory_config referral "ldap://127.0.0.1:$ldap_port" "$work/pki/ca.pem"
sed -i 's|^base_dn = .*|base_dn = "ou=elsewhere,dc=campus,dc=example"|' "$work/referral.toml"
printf '[observe]\naddress = "127.0.0.1:0"\n' >>"$work/referral.toml"
start_service referral "$work/referral.toml"
for _ in 1 2 3; do
    ask "user=alice" -D "$work/headers"
    codes="${codes:-}$status "
done
check "three lookups: 503 with Retry-After ($codes)" \
    test "$codes" = "503 503 503 " -a "$(grep -ci '^Retry-After:' "$work/headers")" = 1
check "the log names the referral once" \
    test "$(grep -c 'base_dn "ou=elsewhere,dc=campus,dc=example" is a referral' \
        "$work/referral.log")" = 1
observe /metrics >/dev/null
check "one connection made for the three lookups" \
    grep -q '^brisvane_directory_reconnects_total 1$' "$work/observed"
unset codes

echo "== The cache of answers: a change in the directory is answered after at most the TTL"
directory_config cached "ldap://127.0.0.1:$ldap_port" "$work/pki/ca.pem"
printf '[cache]\nttl = "3s"\n[observe]\naddress = "127.0.0.1:0"\n' >>"$work/cached.toml"
start_service cached "$work/cached.toml"
expect_share carol 'smb://files1.campus.example/carol$'
expect_share carol 'smb://files1.campus.example/carol$'
observe /metrics >/dev/null
check "/metrics counts the repeated lookup as a cache hit" \
    grep -q '^brisvane_cache_hits_total [1-9]' "$work/observed"
ldapmodify -x -H "ldap://127.0.0.1:$ldap_port" -D "cn=admin,dc=campus,dc=example" \
    -w "$SLAPD_ROOTPW" >"$work/ldapmodify.log" 2>&1 <<'LDIF'
dn: uid=carol,ou=people,dc=campus,dc=example
changetype: modify
replace: homeDirectory
homeDirectory: \\files2.campus.example\homes\carol
LDIF
check "ldapmodify moved carol's share in the directory" test $? = 0
moved_at=$SECONDS
until ask "user=carol" && grep -q 'smb://files2.campus.example/homes/carol' <<<"$body" ||
    [ $((SECONDS - moved_at)) -gt 15 ]; do
    sleep 0.2
done
check "the moved share is answered within the 3 s TTL and a margin (after $((SECONDS - moved_at)) s)" \
    grep -q 'smb://files2.campus.example/homes/carol' <<<"$body"

echo "== The members file over plain HTTP, read again when it changes"
printf 'alice\t\\\\files1.campus.example\\homes\\alice\nmallory\t\\\\files.evil.example\\loot\nj\xc3\xbcrgen\t\\\\files1.campus.example\\juergen$\n' \
    >"$work/members.tsv"
cat >"$work/members.toml" <<TOML
[listen]
address = "127.0.0.1:0"
[members]
file = "$work/members.tsv"
[organisation]
file_servers = [".campus.example"]
TOML
scheme=http
start_service members "$work/members.toml"
expect_share alice smb://files1.campus.example/homes/alice
expect_share 'j%C3%BCrgen' 'smb://files1.campus.example/juergen$'
expect_none mallory
expect_none bob
check "usernames are not logged unless asked" test "$(grep -c alice "$work/members.log")" = 0
printf 'bob\t\\\\files2.campus.example\\homes\\bob\n' >"$work/members.next"
mv "$work/members.next" "$work/members.tsv"
expect_share bob smb://files2.campus.example/homes/bob
expect_none alice

echo "== The per-address request rate (2 at once, then 1 a second)"
cat >"$work/rate.toml" <<TOML
[listen]
address = "127.0.0.1:0"
[limits]
requests_per_second_per_address = 1
burst_per_address = 2
[members]
file = "$work/members.tsv"
[organisation]
file_servers = [".campus.example"]
TOML
start_service rate "$work/rate.toml"
codes=""
for _ in 1 2 3; do
    ask "user=bob" -D "$work/headers"
    codes="$codes$status "
done
check "three requests at once: 200 200 429 with Retry-After ($codes)" \
    test "$codes" = "200 200 429 " -a "$(grep -ci '^Retry-After:' "$work/headers")" = 1

echo "== Networks that may ask"
sed 's|^\[limits\]$|[limits]\nallowed_networks = ["10.0.0.0/8", "::1"]|' "$work/rate.toml" \
    >"$work/networks.toml"
start_service networks "$work/networks.toml"
ask "user=bob"
check "a client outside allowed_networks: 403" test "$status" = 403
check "the warning about every network is not given" \
    test "$(grep -c 'allowed_networks is not set' "$work/networks.log")" = 0

echo "== A bad configuration is named"
cp "$work/bind-password" "$work/bind-password.shared"
chmod 644 "$work/bind-password.shared"
sed "s|^bind_password_file = .*|bind_password_file = \"$work/bind-password.shared\"|" \
    "$work/directory.toml" >"$work/shared.toml"
"$binary" --config "$work/shared.toml" --check-config 2>"$work/shared.err"
code=$?
check "--check-config: status 2 for a bind password others may read, its mode named" \
    test "$code" = 2 -a "$(grep -c 'bind-password.shared.*mode 0644' "$work/shared.err")" = 1
printf '[members]\nfile = "%s"\n[limits]\nidle_timeout = "soon"\n' "$work/members.tsv" \
    >"$work/bad.toml"
"$binary" --config "$work/bad.toml" --check-config 2>"$work/bad.err"
code=$?
check "--check-config: status 2 and the bad setting named" \
    test "$code" = 2 -a "$(grep -c 'idle_timeout' "$work/bad.err")" = 1

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed. Service logs:"
    tail -n 50 "$work"/*.log
    exit 1
fi
echo "All service checks passed."
