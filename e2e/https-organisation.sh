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
# And on real parts, the test Active Directory domain (scripts/lib/samba-ad.sh) in place of
# slapd (as root):
#   https-organisation.sh start-domain STATE TRUST_TOOL BRIDGE_PORT "SERVERS"
#       the certificate authority as above, the domain in STATE/domain, and the SMB bridge of
#       the provider's SMB mode on 127.0.0.1:BRIDGE_PORT (STATE/bridge), which reaches each of
#       SERVERS (comma-separated) at the domain's Samba
#   https-organisation.sh stop-domain STATE
#   https-organisation.sh check-domain STATE     the domain stays on loopback
#   https-organisation.sh start-domain-service STATE PORT LOOKUPD "SERVERS"
#       brisvane-lookupd on 127.0.0.1:PORT over https (localhost) with docs/lookup-service.md's Active
#       Directory configuration: ldaps to dc1.campus.example, which it finds in the domain's
#       hosts file; logging to STATE/service/service.log. Stopped with stop-service STATE service.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/scripts/lib/slapd.sh"
source "$root/scripts/lib/test-pki.sh"
source "$root/scripts/lib/lookup-service.sh"
source "$root/scripts/lib/samba-ad.sh"
source "$root/scripts/lib/smb-bridge.sh"

command="$1"
state="$2"

# Stops whatever an interrupted run left running in STATE.
stop_left_overs() {
    local left
    for left in "$state"/*/service.pid; do
        [ -f "$left" ] && lookup_service_stop "$(dirname "$left")"
    done
    slapd_stop "$state/slapd"
    smb_bridge_stop "$state/bridge"
    samba_ad_stop "$state/domain"
}

# A fresh STATE with the test certificate authority, trusted in the Wine prefix by TRUST_TOOL.
trusted_authority() {
    local trust_tool="$1"
    stop_left_overs
    rm -rf "$state"
    mkdir -p "$state/pki"
    make_test_pki "$state/pki"
    wine "$trust_tool" "$(winepath -w "$state/pki/ca.der")"
}

# "a,b" and an address: "a=ADDRESS b=ADDRESS".
servers_at() {
    local list server
    IFS=, read -r -a list <<<"$1"
    for server in "${list[@]}"; do
        printf '%s=%s\n' "$server" "$2"
    done
}

case "$command" in
start-directory)
    slapd_port="$3" trust_tool="$4"
    trusted_authority "$trust_tool"
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
    directory="$(
        cat <<TOML
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
TOML
    )"
    lookup_service_config "127.0.0.1:$port" "$state/pki/$key.pem" "$state/pki/$key.key" \
        "$directory" "${server_list[@]}" >"$dir/lookupd.toml"
    lookup_service_start "$lookupd" "$dir/lookupd.toml" "$port" "$dir"
    ;;
stop-service)
    lookup_service_stop "$state/$3"
    ;;
start-domain)
    trust_tool="$3" bridge_port="$4" servers="$5"
    trusted_authority "$trust_tool"
    # The output goes to files: ctest waits for every process holding its pipes.
    if ! samba_ad_start "$state/domain" >"$state/domain-start.log" 2>&1; then
        cat "$state/domain-start.log" >&2
        exit 1
    fi
    cat "$state/domain-start.log"
    mapfile -t bridge_servers < <(servers_at "$servers" "$SAMBA_AD_ADDRESS")
    smb_bridge_start "$state/bridge" "$bridge_port" "${bridge_servers[@]}"
    ;;
stop-domain)
    smb_bridge_stop "$state/bridge"
    samba_ad_stop "$state/domain"
    ;;
check-domain)
    samba_ad_check "$state/domain"
    ;;
start-domain-service)
    port="$3" lookupd="$4" servers="$5"
    dir="$state/service"
    lookup_service_stop "$dir"
    rm -rf "$dir"
    mkdir -p "$dir"
    IFS=, read -r -a server_list <<<"$servers"
    samba_ad_lookupd_config "$state/domain" "$lookupd" "127.0.0.1:$port" \
        "$state/pki/localhost.pem" "$state/pki/localhost.key" "${server_list[@]}" \
        >"$dir/lookupd.toml"
    lookup_service_start "$lookupd" "$dir/lookupd.toml" "$port" "$dir" "$state/domain/hosts"
    ;;
*)
    echo "usage: https-organisation.sh start-directory|stop-directory|start-service|stop-service|" \
        "start-domain|stop-domain|check-domain|start-domain-service STATE ..." >&2
    exit 2
    ;;
esac
