# shellcheck shell=bash
# A private OpenLDAP server for tests and the demo; sourced by the scripts that need one.
#
#   slapd_start DIR PORT LDIF...   configuration and mdb database in DIR (suffix
#                                  dc=campus,dc=example; schemas core, cosine, inetorgperson,
#                                  nis), the LDIF files loaded with slapadd, slapd listening on
#                                  ldap://127.0.0.1:PORT/ in the background; returns once it
#                                  answers a search. Its pid is kept in DIR/slapd.pid.
#   slapd_stop DIR                 stops that slapd and waits until it has gone.
#
# Nothing is written outside DIR, and the system's own slapd (if any) is never touched. The
# database stays in DIR, so slapd_start DIR PORT (no LDIF) after slapd_stop starts the same
# directory again.
#
# TLS, when SLAPD_TLS_CERT and SLAPD_TLS_KEY name a PEM certificate and key: StartTLS on PORT,
# and with SLAPD_LDAPS_PORT also ldaps://127.0.0.1:SLAPD_LDAPS_PORT/.
#
# Writes (ldapmodify), when SLAPD_ROOTPW holds a password: the root DN
# cn=admin,dc=campus,dc=example binds with it. Unset: no one can bind as the root DN.

slapd_start() {
    local dir="$1" port="$2"
    shift 2
    local schema=/etc/ldap/schema
    mkdir -p "$dir/db"
    dir="$(cd "$dir" && pwd)"
    cat >"$dir/slapd.conf" <<CONF
include $schema/core.schema
include $schema/cosine.schema
include $schema/inetorgperson.schema
include $schema/nis.schema
pidfile $dir/slapd.pid
argsfile $dir/slapd.args
loglevel none
modulepath /usr/lib/ldap
moduleload back_mdb
database mdb
maxsize 67108864
suffix "dc=campus,dc=example"
rootdn "cn=admin,dc=campus,dc=example"
${SLAPD_ROOTPW:+rootpw $SLAPD_ROOTPW}
directory $dir/db
index uid eq
index objectClass eq
${SLAPD_TLS_CERT:+TLSCertificateFile $SLAPD_TLS_CERT}
${SLAPD_TLS_KEY:+TLSCertificateKeyFile $SLAPD_TLS_KEY}
access to attrs=userPassword by anonymous auth by * none
access to filter=(objectClass=inetOrgPerson) by users read by * none
access to * by * read
CONF
    local ldif
    for ldif in "$@"; do
        /usr/sbin/slapadd -q -f "$dir/slapd.conf" -l "$ldif" >>"$dir/slapadd.log" 2>&1 || {
            echo "slapd.sh: slapadd of $ldif failed:" >&2
            cat "$dir/slapadd.log" >&2
            return 1
        }
    done
    rm -f "$dir/slapd.pid"
    local urls="ldap://127.0.0.1:$port/"
    if [ -n "${SLAPD_LDAPS_PORT:-}" ]; then
        urls="$urls ldaps://127.0.0.1:$SLAPD_LDAPS_PORT/"
    fi
    /usr/sbin/slapd -f "$dir/slapd.conf" -h "$urls" \
        >>"$dir/slapd.log" 2>&1 || {
        echo "slapd.sh: slapd did not start:" >&2
        cat "$dir/slapd.log" >&2
        return 1
    }
    local _
    for _ in $(seq 100); do
        if [ -s "$dir/slapd.pid" ] && ldapsearch -x -H "ldap://127.0.0.1:$port/" -o nettimeout=1 \
            -b "dc=campus,dc=example" -s base "(objectClass=*)" dn >/dev/null 2>&1; then
            return 0
        fi
        sleep 0.1
    done
    echo "slapd.sh: slapd on port $port did not answer within 10 s:" >&2
    cat "$dir/slapd.log" >&2
    return 1
}

slapd_stop() {
    local dir="$1" pid
    [ -s "$dir/slapd.pid" ] || return 0
    pid="$(cat "$dir/slapd.pid")"
    kill "$pid" 2>/dev/null || true
    local _
    for _ in $(seq 100); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
        kill -KILL "$pid" 2>/dev/null || true
    fi
    rm -f "$dir/slapd.pid"
}
