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

# _test_pki_certificate DIR NAME CN SIGNER [KEY_TYPE]: the key NAME.key and the certificate
# NAME.pem in DIR. With SIGNER "self", a certificate authority called CN that signs itself;
# otherwise a server certificate for CN (a DNS name, or an IPv4 address) signed by the authority
# SIGNER.pem/.key. KEY_TYPE is rsa (2048 bits, the default) or ecdsa (P-256, whose handshakes
# cost a fraction of RSA's: for load tests).
_test_pki_certificate() {
    local dir="$1" name="$2" cn="$3" signer="$4" key_type="${5:-rsa}" purpose signing
    local subject_name=dns_name key_size=(--bits 2048)
    if [[ "$signer" == self ]]; then
        purpose=$'ca\ncert_signing_key\ncrl_signing_key'
        signing=(--generate-self-signed)
    else
        if [[ "$cn" =~ ^[0-9.]+$ ]]; then
            subject_name="ip_address"
        fi
        purpose="$subject_name = \"$cn\""$'\ntls_www_server\nsigning_key\nencryption_key'
        signing=(--generate-certificate --load-ca-certificate "$dir/$signer.pem"
            --load-ca-privkey "$dir/$signer.key")
    fi
    if [[ "$key_type" == ecdsa ]]; then
        key_size=(--curve secp256r1)
    fi
    # The service refuses a key that other users may read.
    (umask 077 && certtool --no-text --generate-privkey --key-type "$key_type" "${key_size[@]}" \
        --outfile "$dir/$name.key" 2>/dev/null)
    cat >"$dir/$name.tmpl" <<TMPL
cn = "$cn"
organization = "Brisvane tests"
serial = $(date +%s)$RANDOM
activation_date = "$(date -u -d yesterday '+%Y-%m-%d %H:%M:%S')"
expiration_days = 30
$purpose
TMPL
    certtool --no-text "${signing[@]}" --load-privkey "$dir/$name.key" \
        --template "$dir/$name.tmpl" --outfile "$dir/$name.pem" 2>/dev/null
}

make_test_pki() {
    local dir="$1"
    mkdir -p "$dir"
    if ! {
        _test_pki_certificate "$dir" ca "Brisvane Test CA" self &&
            certtool --certificate-info --infile "$dir/ca.pem" --outder --outfile "$dir/ca.der" \
                >/dev/null 2>&1 &&
            _test_pki_certificate "$dir" localhost localhost ca &&
            _test_pki_certificate "$dir" otherhost wrong-host.example ca &&
            _test_pki_certificate "$dir" directory 127.0.0.1 ca &&
            _test_pki_certificate "$dir" untrusted-ca "Brisvane Untrusted Test CA" self &&
            _test_pki_certificate "$dir" untrusted-localhost localhost untrusted-ca &&
            rm -f "$dir"/*.tmpl &&
            chmod 600 "$dir"/*.key
    }; then
        echo "test-pki.sh: making the test certificates in $dir failed" >&2
        return 1
    fi
}
