# shellcheck shell=bash
# A throwaway Active Directory domain with its SMB file server, Samba on one loopback address,
# for tests and the demo; sourced. Needs root (mount and PID namespaces) and the packages of
# ensure_samba_packages (scripts/lib/packages.sh).
#
#   samba_ad_start DIR   provisions the domain in DIR (made anew, mode 0700), starts it and
#                        returns once LDAP answers and the service account can log on over SMB
#   samba_ad_stop DIR    stops it, waits until its processes and ports are gone, removes DIR
#   samba_ad_check DIR   checks that the running domain stays on loopback (below); prints each
#                        fault and returns 1 if there is one
#   samba_ad_tool DIR ARGUMENT...
#                        samba-tool on the running domain's database, as root in its namespace
#                        (no password needed): samba_ad_tool DIR user setexpiry brisvane-lookup
#                        --days=0 expires the service account, for example
#   samba_ad_tls DIR [CERTIFICATE KEY CA]
#                        restarts Samba with CERTIFICATE (its KEY, signed by the authority CA)
#                        for LDAP's TLS instead of the one it made itself, or without them with
#                        its own again; returns once ldaps serves that certificate
#   samba_ad_lookupd_config DIR BINARY ADDRESS CERTIFICATE KEY SERVER...
#                        prints brisvane-lookupd's configuration for this domain: BINARY's Active
#                        Directory example (--print-config, the one docs/lookup-service.md shows)
#                        with this domain's names and files, listening on ADDRESS over https with
#                        CERTIFICATE and KEY, shares on the SERVERs, usernames logged (needs
#                        scripts/lib/lookup-service.sh)
#
# What a client of the domain uses:
#   domain controller    dc1.campus.example on 127.0.0.3 (SAMBA_AD_ADDRESS): LDAP 389 and
#                        StartTLS, ldaps 636, global catalog 3268/3269, SMB 445, Kerberos 88,
#                        DNS 53. Samba's LDAP ports cannot be moved: one domain at a time.
#   domain               NetBIOS CAMPUS, realm CAMPUS.EXAMPLE, base DN DC=campus,DC=example
#   DIR/ca.pem           the domain's certificate authority; the DC's certificate is for
#                        DC1.campus.example alone, so clients reach it by that name
#   DIR/hosts            a hosts file naming dc1.campus.example (and localhost); mount it over
#                        /etc/hosts in a client's own mount namespace
#                        (unshare -m sh -c 'mount --bind DIR/hosts /etc/hosts && exec CLIENT')
#   the service account  CN=brisvane-lookup,OU=Services,DC=campus,DC=example, also
#                        brisvane-lookup@campus.example and CAMPUS\brisvane-lookup; its password
#                        is the first line of DIR/bind-password (mode 0600)
#   the members          standins/directory/ad-members.tsv: usernames, passwords, states,
#                        homeDirectory (every homeDrive is M:) and their shares on this Samba,
#                        whose files are in DIR/domain/shares/<share without $>/
#   DIR/domain/dc/       Samba's own files (smb.conf, sam.ldb, log/)
#
# Nothing leaves loopback: Samba binds 127.0.0.3 alone, has no DNS forwarder, no NetBIOS (no
# broadcasts, no port 137-139), no dynamic DNS updates nor WINS, and its Kerberos
# configuration looks up no KDC or realm in DNS. The domain runs in a mount namespace of its
# own, where its folder is /run/samba (smbd finds winbindd at the compiled-in
# /run/samba/winbindd) and folders of its own stand over /var/{lib,cache,log}/samba (the system's
# are never touched), and a PID namespace of its own, so that stopping it ends every process it
# started, the RPC helpers that leave its session included.

SAMBA_AD_ADDRESS=127.0.0.3
_samba_ad_lib="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
_samba_ad_root="$(cd "$_samba_ad_lib/../.." && pwd)"

# Inside the domain's namespaces: /run of its own, provisioning, then Samba in the foreground.
_samba_ad_inside() {
    local dir="$1" run=/run/samba
    mount -t tmpfs -o mode=0755 brisvane-ad /run
    mkdir "$run"
    mount --bind "$dir/domain" "$run"
    # Samba's helpers also use their compiled-in folders (samba-dcerpcd and the rpcd_* log to
    # /var/log/samba whatever smb.conf says): here those are the domain's own.
    local system
    for system in /var/lib/samba /var/cache/samba /var/log/samba; do
        if [ -d "$system" ]; then
            mkdir -p "$run/system$system"
            mount --bind "$run/system$system" "$system"
        fi
    done
    /usr/bin/python3 "$_samba_ad_lib/samba-ad.py" provision "$run" \
        "$_samba_ad_root/standins/directory/ad-members.tsv" "$dir/bind-password" \
        "$SAMBA_AD_ADDRESS" >"$dir/domain/provision.log" 2>&1 || exit 1
    # The provisioned Kerberos configuration looks the KDC up in DNS; this one names it.
    cat >"$run/dc/private/krb5.conf" <<KRB5
[libdefaults]
	default_realm = CAMPUS.EXAMPLE
	dns_lookup_realm = false
	dns_lookup_kdc = false

[realms]
	CAMPUS.EXAMPLE = {
		kdc = $SAMBA_AD_ADDRESS
	}

[domain_realm]
	dc1 = CAMPUS.EXAMPLE
KRB5
    export KRB5_CONFIG="$run/dc/private/krb5.conf"
    mkdir -p "$run/dc/log"
    # Samba is not this namespace's first process, which reaps the helpers that Samba leaves.
    # samba_ad_tls ends Samba after leaving a "restart" file: it starts again with the new
    # smb.conf; any other end of Samba ends the domain.
    while :; do
        samba -s "$run/dc/etc/smb.conf" -F --debug-stdout >>"$run/samba.log" 2>&1 &
        echo "$!" >"$run/samba.pid"
        wait "$!"
        [ -e "$run/restart" ] || break
        rm -f "$run/restart"
    done
}

_samba_ad_pid_namespace() {
    readlink "/proc/$1/ns/pid" 2>/dev/null
}

# The PIDs of every process in the domain's PID namespace.
_samba_ad_processes() {
    local namespace
    namespace="$(cat "$1/pid-namespace" 2>/dev/null)" || return 0
    [ -n "$namespace" ] || return 0
    # find fails on processes that end while it looks; what it found is still right.
    { find /proc -mindepth 3 -maxdepth 3 -path '/proc/[0-9]*/ns/pid' -printf '%h %l\n' \
        2>/dev/null || true; } |
        awk -v namespace="$namespace" '$2 == namespace { split($1, path, "/"); print path[3] }'
}

_samba_ad_listening() {
    ss -Htuln "src $SAMBA_AD_ADDRESS" 2>/dev/null
}

samba_ad_start() {
    local dir="$1" started
    started="$(date +%s%N)"
    samba_ad_stop "$dir"
    if [ -n "$(_samba_ad_listening)" ]; then
        echo "samba-ad.sh: $SAMBA_AD_ADDRESS is already in use (another domain?):" >&2
        _samba_ad_listening >&2
        return 1
    fi
    mkdir -p "$dir/domain"
    chmod 0700 "$dir"
    dir="$(cd "$dir" && pwd)"
    # The service account's password: random, in a file only root reads.
    (umask 077 && printf '%s-Aa1\n' "$(head -c 18 /dev/urandom | base64 | tr '/+' '_-')" \
        >"$dir/bind-password")
    printf '127.0.0.1\tlocalhost\n::1\tlocalhost ip6-localhost ip6-loopback\n%s\tdc1.campus.example dc1\n' \
        "$SAMBA_AD_ADDRESS" >"$dir/hosts"
    unshare --mount --pid --fork --kill-child --mount-proc --propagation private \
        bash -c 'source "$1" && _samba_ad_inside "$2"' _ "$_samba_ad_lib/samba-ad.sh" "$dir" \
        </dev/null >"$dir/namespace.log" 2>&1 &
    echo $! >"$dir/unshare.pid"
    # Stopped by samba_ad_stop, maybe from this shell: no word from the job control then.
    disown $!
    local child _
    for _ in $(seq 50); do
        child="$(pgrep -P "$(cat "$dir/unshare.pid")" | head -n 1)"
        [ -n "$child" ] && break
        sleep 0.1
    done
    echo "$child" >"$dir/init.pid"
    _samba_ad_pid_namespace "$child" >"$dir/pid-namespace"

    # Provisioning is most of the time: 10-12 s on an idle machine, a minute or more on a busy one.
    local ldap=0 deadline=$((SECONDS + 180))
    while [ "$SECONDS" -lt "$deadline" ]; do
        if ! kill -0 "$(cat "$dir/unshare.pid")" 2>/dev/null; then
            echo "samba-ad.sh: the domain did not start:" >&2
            cat "$dir/namespace.log" "$dir/domain/provision.log" "$dir/domain/samba.log" \
                2>/dev/null | tail -n 40 >&2
            samba_ad_stop "$dir"
            return 1
        fi
        if [ "$ldap" = 0 ] && [ -s "$dir/domain/dc/private/tls/ca.pem" ] &&
            ldapsearch -x -H "ldap://$SAMBA_AD_ADDRESS/" -o nettimeout=1 -s base -b "" \
                namingContexts >/dev/null 2>&1; then
            ldap=1
        fi
        if [ "$ldap" = 1 ] && /usr/bin/python3 "$_samba_ad_lib/samba-ad.py" probe \
            "$SAMBA_AD_ADDRESS" "$dir/bind-password" "$dir/probe" 2>/dev/null; then
            cp "$dir/domain/dc/private/tls/ca.pem" "$dir/ca.pem"
            rm -rf "$dir/probe"
            echo "samba-ad.sh: the domain answers on $SAMBA_AD_ADDRESS after" \
                "$((($(date +%s%N) - started) / 1000000)) ms"
            return 0
        fi
        sleep 0.1
    done
    echo "samba-ad.sh: the domain did not answer within 180 s:" >&2
    tail -n 40 "$dir/domain/samba.log" >&2
    samba_ad_stop "$dir"
    return 1
}

samba_ad_stop() {
    local dir="$1" pid _
    [ -d "$dir" ] || return 0
    # The first process of the PID namespace, and with it every other one; unshare, which
    # ignores SIGTERM, ends with it (and would take it along, --kill-child). The namespace's
    # mounts go with its last process.
    for pid in "$(cat "$dir/init.pid" 2>/dev/null)" "$(cat "$dir/unshare.pid" 2>/dev/null)"; do
        if [ -n "$pid" ]; then
            kill -KILL "$pid" 2>/dev/null || true
        fi
    done
    for _ in $(seq 100); do
        [ -z "$(_samba_ad_processes "$dir")" ] && [ -z "$(_samba_ad_listening)" ] && break
        sleep 0.1
    done
    if [ -n "$(_samba_ad_processes "$dir")" ]; then
        echo "samba-ad.sh: the domain's processes did not end: $(_samba_ad_processes "$dir")" >&2
        return 1
    fi
    if [ -n "$(_samba_ad_listening)" ]; then
        echo "samba-ad.sh: the domain's ports are still taken:" >&2
        _samba_ad_listening >&2
        return 1
    fi
    # Nothing of the domain is mounted in this namespace, so removing its folder removes files
    # and nothing else.
    if findmnt -rn -o TARGET | grep -q "^$(realpath "$dir")/"; then
        echo "samba-ad.sh: something is mounted below $dir; left as it is" >&2
        return 1
    fi
    rm -rf "$dir"
}

# Each setting that keeps the domain on loopback, as Samba reads it, and each socket that its
# processes hold: every one on a loopback address, every listening one on the domain's own.
samba_ad_check() {
    local dir="$1" faults=0 settings name expected value
    if [ -z "$(_samba_ad_processes "$dir")" ]; then
        echo "the domain does not run" >&2
        return 1
    fi
    # Every global setting as Samba reads it in its namespace, defaults included: "name = value"
    # lines.
    if ! settings="$(nsenter --target "$(cat "$dir/init.pid")" --mount \
        testparm -s -v --suppress-prompt /run/samba/dc/etc/smb.conf 2>/dev/null)"; then
        echo "testparm cannot read the domain's smb.conf" >&2
        return 1
    fi
    settings="$(sed -n '/^\[global\]/,/^\[/s/^\t//p' <<<"$settings")"
    while IFS='|' read -r name expected; do
        value="$(grep -m 1 "^$name = " <<<"$settings" || true)"
        value="${value#"$name = "}"
        if [ "$value" != "$expected" ]; then
            echo "smb.conf: $name is \"$value\", not \"$expected\"" >&2
            faults=1
        fi
    done <<SETTINGS
dns forwarder|
disable netbios|Yes
interfaces|$SAMBA_AD_ADDRESS/8
bind interfaces only|Yes
smb ports|445
SETTINGS
    value="$(grep -m 1 "^server services = " <<<"$settings" || true)"
    if [[ "${value//,/ } " =~ \ (nbt|wrepl|dnsupdate)\  ]]; then
        echo "smb.conf: server services still has ${BASH_REMATCH[1]}: $value" >&2
        faults=1
    fi

    # Samba's own Kerberos configuration (private/krb5.conf, also KRB5_CONFIG of its processes).
    for name in dns_lookup_kdc dns_lookup_realm; do
        if ! grep -Eq "^[[:space:]]*$name = false$" "$dir/domain/dc/private/krb5.conf"; then
            echo "Samba's Kerberos configuration does not set $name = false" >&2
            faults=1
        fi
    done

    local pids socket state local_address peer_address
    pids="$(_samba_ad_processes "$dir" | paste -sd '|')"
    while read -r _ state _ _ local_address peer_address socket; do
        [[ "$socket" =~ pid=($pids), ]] || continue
        if [[ "$state" =~ ^(LISTEN|UNCONN)$ ]]; then
            if [[ "$local_address" != "$SAMBA_AD_ADDRESS:"* ]]; then
                echo "listening beyond $SAMBA_AD_ADDRESS: $local_address $socket" >&2
                faults=1
            fi
        elif [[ ! "$local_address" =~ ^127\. ]] || [[ ! "$peer_address" =~ ^127\. ]]; then
            echo "a connection beyond loopback: $local_address -> $peer_address $socket" >&2
            faults=1
        fi
    done < <(ss -Htuanp 2>/dev/null)
    return "$faults"
}

samba_ad_tool() {
    local dir="$1"
    shift
    nsenter --target "$(cat "$dir/init.pid")" --mount \
        samba-tool "$@" -H /run/samba/dc/private/sam.ldb -s /run/samba/dc/etc/smb.conf
}

samba_ad_tls() {
    local dir="$1" conf="$1/domain/dc/etc/smb.conf" given="$1/domain/dc/private/tls-given"
    local expected="$1/domain/dc/private/tls/cert.pem" samba_pid="" pid _
    sed -i '/^\ttls \(certfile\|keyfile\|cafile\) = /d' "$conf"
    if [ $# -eq 4 ]; then
        rm -rf "$given"
        mkdir -m 0700 "$given"
        install -m 0644 "$2" "$given/cert.pem"
        install -m 0600 "$3" "$given/key.pem"
        install -m 0644 "$4" "$given/ca.pem"
        # Paths as Samba sees them in its namespace.
        sed -i '/^\[global\]$/a\\ttls certfile = /run/samba/dc/private/tls-given/cert.pem\n\ttls keyfile = /run/samba/dc/private/tls-given/key.pem\n\ttls cafile = /run/samba/dc/private/tls-given/ca.pem' "$conf"
        expected="$given/cert.pem"
    fi
    # Samba's PID as its namespace numbers it is the last of NSpid.
    for pid in $(_samba_ad_processes "$dir"); do
        if [ "$(awk '$1 == "NSpid:" { print $NF }' "/proc/$pid/status" 2>/dev/null)" = \
            "$(cat "$dir/domain/samba.pid")" ]; then
            samba_pid="$pid"
        fi
    done
    touch "$dir/domain/restart"
    kill -TERM "$samba_pid"
    for _ in $(seq 300); do
        if /usr/bin/python3 -c 'import ssl, sys
served = ssl.get_server_certificate((sys.argv[1], 636), timeout=2)
with open(sys.argv[2], encoding="ascii") as file:
    expected = file.read()
sys.exit(ssl.PEM_cert_to_DER_cert(served) != ssl.PEM_cert_to_DER_cert(expected))' \
            "$SAMBA_AD_ADDRESS" "$expected" 2>/dev/null; then
            return 0
        fi
        sleep 0.1
    done
    echo "samba-ad.sh: Samba did not serve $expected within 30 s:" >&2
    tail -n 20 "$dir/domain/samba.log" >&2
    return 1
}

samba_ad_lookupd_config() {
    local dir="$1" binary="$2" address="$3" certificate="$4" key="$5"
    shift 5
    lookup_service_settings "$binary" active-directory "listen.address=\"$address\"" \
        "listen.tls_certificate=\"$certificate\"" "listen.tls_key=\"$key\"" \
        'limits.allowed_networks=["127.0.0.0/8", "::1"]' \
        'directory.urls=["ldaps://dc1.campus.example"]' \
        "directory.bind_password_file=\"$dir/bind-password\"" "directory.ca_file=\"$dir/ca.pem\"" \
        "organisation.file_servers=[$(printf '"%s", ' "$@" | sed 's/, $//')]" 'log.usernames=true'
}
