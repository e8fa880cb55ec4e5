#!/usr/bin/env bash
# The organisation's side of the https end-to-end tests, natively on the Linux host, in one
# state folder; run by ctest fixtures (e2e/https_e2e.cmake) inside the tests' Wine session.
#   https-organisation.sh start-directory STATE SLAPD_PORT TRUST_TOOL
#       a throwaway certificate authority and the servers' certificates (STATE/pki), trusted in
#       the session's Wine prefix with TRUST_TOOL (brisvane-trust-ca.exe), and slapd on
#       127.0.0.1:SLAPD_PORT with the service account and the demo members (standins/directory)
#   https-organisation.sh stop-directory STATE
#   https-organisation.sh start-service STATE CERTIFICATE PORT SLAPD_PORT LOOKUPD "SERVERS"
#       brisvane-lookupd on 127.0.0.1:PORT over https with one of the certificates: trusted
#       (localhost, by the trusted authority), untrusted (localhost, by an authority the prefix
#       does not trust) or otherhost (another host name, by the trusted authority); answering
#       from slapd, for shares on SERVERS (a comma-separated list), logging usernames to
#       STATE/CERTIFICATE/service.log
#   https-organisation.sh stop-service STATE CERTIFICATE
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/scripts/lib/slapd.sh"
source "$root/scripts/lib/test-pki.sh"
source "$root/scripts/lib/lookup-service.sh"

command="$1"
state="$2"

case "$command" in
start-directory)
    slapd_port="$3" trust_tool="$4"
    # Whatever an interrupted run left running.
    for left in "$state"/*/service.pid; do
        [ -f "$left" ] && lookup_service_stop "$(dirname "$left")"
    done
    slapd_stop "$state/slapd"
    rm -rf "$state"
    mkdir -p "$state/pki"
    make_test_pki "$state/pki"
    wine "$trust_tool" "$(winepath -w "$state/pki/ca.der")"
    (umask 077 && printf '%s' lookup-secret >"$state/bind-password")
    # slapd's output goes to a file: ctest waits for every process holding its pipes. It offers
    # StartTLS with a certificate for 127.0.0.1 from the throwaway authority.
    export SLAPD_TLS_CERT="$state/pki/directory.pem" SLAPD_TLS_KEY="$state/pki/directory.key"
    if ! slapd_start "$state/slapd" "$slapd_port" "$root/standins/directory/test-members.ldif" \
        "$root/standins/directory/demo-members.ldif" >"$state/slapd-start.log" 2>&1; then
        cat "$state/slapd-start.log" >&2
        exit 1
    fi
    ;;
stop-directory)
    slapd_stop "$state/slapd"
    ;;
start-service)
    certificate="$3" port="$4" slapd_port="$5" lookupd="$6" servers="$7"
    case "$certificate" in
    trusted) key=localhost ;;
    untrusted) key=untrusted-localhost ;;
    otherhost) key=otherhost ;;
    *)
        echo "https-organisation.sh: no certificate $certificate" >&2
        exit 2
        ;;
    esac
    dir="$state/$certificate"
    lookup_service_stop "$dir"
    rm -rf "$dir"
    mkdir -p "$dir"
    IFS=, read -r -a server_list <<<"$servers"
    file_servers="$(printf '"%s", ' "${server_list[@]}")"
    cat >"$dir/lookupd.toml" <<TOML
[listen]
address = "127.0.0.1:$port"
path = "/cs/servers/serversearch.asp"
tls_certificate = "$state/pki/$key.pem"
tls_key = "$state/pki/$key.key"

[directory]
urls = ["ldap://127.0.0.1:$slapd_port"]
start_tls = true
ca_file = "$state/pki/ca.pem"
bind_dn = "cn=brisvane-lookup,ou=services,dc=campus,dc=example"
bind_password_file = "$state/bind-password"
base_dn = "ou=demo,dc=campus,dc=example"
filter = "(uid=%s)"
attribute = "homeDirectory"
timeout = "3s"

[organisation]
file_servers = [${file_servers%, }]

[log]
usernames = true
TOML
    lookup_service_start "$lookupd" "$dir/lookupd.toml" "$port" "$dir"
    ;;
stop-service)
    lookup_service_stop "$state/$3"
    ;;
*)
    echo "usage: https-organisation.sh start-directory|stop-directory|start-service|stop-service" \
        "STATE ..." >&2
    exit 2
    ;;
esac
