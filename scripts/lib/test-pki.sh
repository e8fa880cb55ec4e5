# shellcheck shell=bash
# A throwaway public-key infrastructure for tests and the demo; sourced by the scripts that
# need one. Needs certtool (gnutls-bin).
#
#   make_test_pki DIR   writes into DIR:
#     ca.pem, ca.key, ca.der             the test certificate authority (ca.der: the same in
#                                        DER, for a Wine prefix's Root store)
#     localhost.pem, localhost.key       a server certificate for the DNS name localhost,
#                                        signed by the test CA
#     otherhost.pem, otherhost.key       signed by the test CA, for wrong-host.example only
#     untrusted-ca.pem                   a second CA that nothing trusts
#     untrusted-localhost.pem, .key      for localhost, signed by that second CA
#     directory.pem, directory.key       signed by the test CA, for the IP address 127.0.0.1
#                                        only (a test slapd's: libldap checks an address
#                                        against the certificate's IP addresses, while for
#                                        "localhost" it checks the machine's name instead)
#
# Every key is RSA 2048 and every certificate is valid from yesterday for 30 days, so a
# machine whose clock is a little behind still accepts them.

_test_pki_ca() {
    local dir="$1" name="$2" cn="$3"
    certtool --no-text --generate-privkey --key-type rsa --bits 2048 --outfile "$dir/$name.key" 2>/dev/null
    cat >"$dir/$name.tmpl" <<TMPL
cn = "$cn"
organization = "Brisvane tests"
serial = $(date +%s)$RANDOM
activation_date = "$(date -u -d yesterday '+%Y-%m-%d %H:%M:%S')"
expiration_days = 30
ca
cert_signing_key
crl_signing_key
TMPL
    certtool --no-text --generate-self-signed --load-privkey "$dir/$name.key" \
        --template "$dir/$name.tmpl" --outfile "$dir/$name.pem" 2>/dev/null
}

# _test_pki_server DIR NAME HOST CA: HOST is a DNS name, or an IPv4 address.
_test_pki_server() {
    local dir="$1" name="$2" host="$3" ca="$4" subject_name="dns_name"
    if [[ "$host" =~ ^[0-9.]+$ ]]; then
        subject_name="ip_address"
    fi
    certtool --no-text --generate-privkey --key-type rsa --bits 2048 --outfile "$dir/$name.key" 2>/dev/null
    cat >"$dir/$name.tmpl" <<TMPL
cn = "$host"
organization = "Brisvane tests"
serial = $(date +%s)$RANDOM
activation_date = "$(date -u -d yesterday '+%Y-%m-%d %H:%M:%S')"
expiration_days = 30
$subject_name = "$host"
tls_www_server
signing_key
encryption_key
TMPL
    certtool --no-text --generate-certificate --load-privkey "$dir/$name.key" \
        --load-ca-certificate "$dir/$ca.pem" --load-ca-privkey "$dir/$ca.key" \
        --template "$dir/$name.tmpl" --outfile "$dir/$name.pem" 2>/dev/null
}

make_test_pki() {
    local dir="$1"
    mkdir -p "$dir"
    if ! {
        _test_pki_ca "$dir" ca "Brisvane Test CA" &&
            certtool --certificate-info --infile "$dir/ca.pem" --outder --outfile "$dir/ca.der" \
                >/dev/null 2>&1 &&
            _test_pki_server "$dir" localhost localhost ca &&
            _test_pki_server "$dir" otherhost wrong-host.example ca &&
            _test_pki_server "$dir" directory 127.0.0.1 ca &&
            _test_pki_ca "$dir" untrusted-ca "Brisvane Untrusted Test CA" &&
            _test_pki_server "$dir" untrusted-localhost localhost untrusted-ca &&
            rm -f "$dir"/*.tmpl &&
            chmod 600 "$dir"/*.key
    }; then
        echo "test-pki.sh: making the test certificates in $dir failed" >&2
        return 1
    fi
}
