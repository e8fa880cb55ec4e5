#!/usr/bin/env bash
# The release test: runs scripts/release.sh with stand-ins for the tools it runs (which must
# never see the signing password), with each setting it refuses, then for real without a
# certificate, with a throwaway self-signed one, with a time-stamp authority on 127.0.0.1
# (packaging/tests/timestamp_server.py) and with an unreachable one, and checks what it wrote
# (signatures, time-stamps, sums, winget manifests, the MSI's tables); then installs, upgrades
# and removes the MSIs under Wine in a private prefix (packaging/tests/msi-under-wine.sh). Exits
# non-zero on the first failure.
# Works in build/release-test/; release.sh builds in build/release as it always does.
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/lib/packages.sh

ensure_packages openssl python3 cmake ninja-build googletest mingw-w64 wixl msitools osslsigncode \
    wine wine64 xvfb xauth

out=build/release-test
rm -rf "$out"
mkdir -p "$out"

fail() {
    echo "FAILED: $*" >&2
    exit 1
}
pass() { echo "ok: $*"; }

# Flips the lowest bit of the byte in the middle of file $1, writing file $2.
change_one_byte() {
    cp "$1" "$2"
    local offset=$(($(stat -c %s "$2") / 2))
    local byte
    byte="$(od -An -tu1 -j "$offset" -N1 "$2" | tr -d ' ')"
    printf "$(printf '\\%03o' $((byte ^ 1)))" |
        dd of="$2" bs=1 seek="$offset" conv=notrunc status=none
    ! cmp -s "$1" "$2" || fail "could not change a byte of $1"
}

# The test organisation's settings, which release.sh accepts.
https=-DBRISVANE_LOOKUP_URL=https://lookup.example.edu/cs/servers/serversearch.asp
servers="-DBRISVANE_FILE_SERVERS=files1.example.edu;.files.example.edu;192.0.2.10"
upgrade_code_value=2CD6FBF5-3280-4463-B3C1-0EF807150878
code="-DBRISVANE_UPGRADE_CODE=$upgrade_code_value"
safe=("$https" "$servers" "$code")
# A password with a space, quotes and a dollar sign, as the signing step must pass it unchanged.
password="throwaway \$pass 'word\""

verifies() { osslsigncode verify -CAfile "$out/signer.pem" -in "$1" >"$out/verify.log" 2>&1; }

# What every dist/ holds, signed or not.
check_dist() {
    local dist="$1"
    local msi
    msi="$(cd "$dist" && ls Brisvane-*-x64.msi)"
    local version="${msi#Brisvane-}"
    version="${version%-x64.msi}"
    [ "$version" = "$(sed -n 's/^VERSION=//p' build/release/packaging/release-settings.txt)" ] ||
        fail "$dist: the MSI's name does not carry the project's version"
    (cd "$dist" && sha256sum --quiet -c SHA256SUMS) || fail "$dist: SHA256SUMS does not match"
    grep -q ' brisvane.exe$' "$dist/SHA256SUMS" && grep -q " $msi\$" "$dist/SHA256SUMS" &&
        grep -q " brisvane-lookupd_${version}_amd64.deb\$" "$dist/SHA256SUMS" ||
        fail "$dist: SHA256SUMS misses a file"

    local properties
    properties="$(msiinfo export "$dist/$msi" Property | tr -d '\r')"
    grep -qx $'ALLUSERS\t1' <<<"$properties" || fail "$dist: the MSI is not per-machine"
    grep -qx $'ProductVersion\t'"$version" <<<"$properties" || fail "$dist: wrong ProductVersion"
    grep -qx $'ARPPRODUCTICON\tbrisvane.ico' <<<"$properties" || fail "$dist: no ARP icon"
    grep -qx $'UpgradeCode\t{'"$upgrade_code_value}" <<<"$properties" ||
        fail "$dist: the MSI's UpgradeCode is not the organisation's"
    [ "$(msiinfo export "$dist/$msi" CustomAction | tail -n +4)" = "" ] ||
        fail "$dist: the MSI has custom actions (one could start the program)"
    grep -q $'^INSTALLDIR\tProgramFiles64Folder\t' <<<"$(msiinfo export "$dist/$msi" Directory)" ||
        fail "$dist: the MSI does not install into Program Files (64-bit)"

    # The installer manifest names this very MSI.
    local manifest
    manifest="$(ls "$dist"/winget/*.installer.yaml)"
    local sha256
    sha256="$(sha256sum "$dist/$msi" | cut -d' ' -f1)"
    grep -qx "  InstallerSha256: '${sha256^^}'" "$manifest" ||
        fail "$dist: the winget InstallerSha256 is not the MSI's"
    grep -qx "ProductCode: '$(sed -n 's/^ProductCode\t//p' <<<"$properties")'" "$manifest" ||
        fail "$dist: the winget ProductCode is not the MSI's"
    grep -q "^  InstallerUrl: 'https\?://.*/$msi'\$" "$manifest" ||
        fail "$dist: the winget InstallerUrl does not end in the MSI's name"
    local file
    for file in "$dist"/winget/*.yaml; do
        grep -qx "PackageVersion: '$version'" "$file" &&
            grep -qx 'ManifestVersion: 1.12.0' "$file" ||
            fail "$file: wrong PackageVersion or ManifestVersion"
    done
    [ "$(ls "$dist"/winget | wc -l)" = 3 ] || fail "$dist/winget: not three manifests"
    pass "$dist: $msi and brisvane.exe, SHA256SUMS, MSI tables, winget manifests"
}

echo "=== The signing password reaches osslsigncode only, in its password file"
# release.sh from a copy of what it reads, with stand-ins first on PATH for the tools it runs
# (the compilers run under cmake, with its environment): each records its environment and
# command line (packaging/tests/tool_stub.sh). Nothing is built. xtrace comes in through
# SHELLOPTS, as a caller's `set -x` and `export SHELLOPTS` would bring it: release.sh must turn
# it off before the password is in a variable, or the trace shows it.
tree="$PWD/$out/stubbed"
mkdir -p "$tree/scripts/lib" "$tree/packaging/winget" "$tree/window/resources" "$tree/stubs"
cp scripts/release.sh "$tree/scripts/"
cp scripts/lib/packages.sh "$tree/scripts/lib/"
cp packaging/brisvane.wxs "$tree/packaging/"
cp packaging/winget/*.yaml.in "$tree/packaging/winget/"
cp window/resources/brisvane.ico "$tree/window/resources/"
for tool in dpkg-query sudo apt-get cmake cpack wixl msiinfo osslsigncode; do
    ln -s "$PWD/packaging/tests/tool_stub.sh" "$tree/stubs/$tool"
done
printf '%s' "$password" >"$tree/stubs/expected-password"
: >"$tree/certificate.p12"
BRISVANE_SIGN_PASSWORD="$password" PATH="$tree/stubs:$PATH" env SHELLOPTS=xtrace \
    "$tree/scripts/release.sh" --pfx "$tree/certificate.p12" --dist "$tree/dist" \
    >"$tree/release.log" 2>&1 || { cat "$tree/release.log"; fail "release.sh with stand-ins"; }
# A trace would quote the password's own quote: look for the words before it.
! grep -qF "${password%%\'*}" "$tree/release.log" ||
    fail "release.sh printed the signing password"
grep -q '^+ ' "$tree/release.log" || fail "release.sh did not start with xtrace on"
calls="$tree/stubs/calls.log"
for tool in apt-get cmake wixl msiinfo osslsigncode; do
    grep -q "^== $tool " "$calls" || fail "release.sh did not run $tool"
done
! grep -qF "$password" "$calls" && ! grep -q '^BRISVANE_SIGN_PASSWORD=' "$calls" ||
    fail "a tool saw the signing password in its environment or on its command line"
[ "$(grep -c '^password file .*: mode 600, same$' "$calls")" = 2 ] ||
    fail "osslsigncode did not get the password in a file of mode 600 for each signature"
while read -r file; do
    [ ! -e "$file" ] || fail "the password file $file is left"
done < <(sed -n 's/^password file \(.*\): mode .*/\1/p' "$calls")
pass "only osslsigncode got the password, in a file of mode 600 that is gone; no trace shows it"

echo "=== Refusals: a risky setting stops release.sh before it builds or writes anything"
# release.sh with the arguments after $1 exits with status 2 and one line of refusal, which
# matches $1 (grep -E), before it builds, and writes no dist/.
refuses() {
    local expected="$1"
    shift
    local status=0
    scripts/release.sh --dist "$out/refused" "$@" >"$out/refused.log" 2>&1 || status=$?
    cat "$out/refused.log" >>"$out/refusals.log"
    local lines
    lines="$(grep '^release.sh: ' "$out/refused.log" || true)"
    [ "$status" = 2 ] && [ "$(wc -l <<<"$lines")" = 1 ] && grep -qE -e "$expected" <<<"$lines" &&
        ! grep -q '^=== Building' "$out/refused.log" ||
        { cat "$out/refused.log"; fail "release.sh $*: not refused with $expected alone"; }
    [ ! -e "$out/refused" ] || fail "release.sh $*: wrote $out/refused"
}
# The safe settings, and what the cases change them to.
http=-DBRISVANE_LOOKUP_URL=http://lookup.example.edu/cs/servers/serversearch.asp
no_list=-DBRISVANE_FILE_SERVERS=
srv1=-DBRISVANE_FILE_SERVERS=srv1
mdns_and_one_label="-DBRISVANE_FILE_SERVERS=f1.Campus.LOCAL;.campus;.example.edu;192.0.2.10"
public_suffix="-DBRISVANE_FILE_SERVERS=files1.example.co.uk;.co.uk"
in_one_label_domain="-DBRISVANE_FILE_SERVERS=files1.example.edu;files1.campus"
no_code=-UBRISVANE_UPGRADE_CODE
flags=(--allow-any-file-server --allow-short-server-names --allow-http-lookup)
short="names that others can answer to:"
new_code='-DBRISVANE_UPGRADE_CODE=[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$'
#       the line of refusal (grep -E)            release.sh's arguments
refuses "no BRISVANE_FILE_SERVERS: "             "$https" "$no_list" "$code"
refuses "$short srv1; "                          "$https" "$srv1;files1.example.edu" "$code"
refuses "$short f1\.Campus\.LOCAL \.campus; "    "$https" "$mdns_and_one_label" "$code"
refuses "$short \.co\.uk; "                      "$https" "$public_suffix" "$code"
refuses "$short files1\.campus; "                "$https" "$in_one_label_domain" "$code"
refuses "BRISVANE_LOOKUP_URL is http://"         "$http" "$servers" "$code"
# build/release keeps the http:// address of the case before.
refuses "BRISVANE_LOOKUP_URL is http://"         "$servers" "$code"
refuses "no BRISVANE_UPGRADE_CODE: .* $new_code" "$https" "$servers" "$no_code"
# Each flag lets its own risk through, and no other; the UpgradeCode has none.
refuses "BRISVANE_LOOKUP_URL is http://"         --allow-any-file-server "$http" "$no_list" "$code"
refuses "$short srv1; "                          --allow-http-lookup "$http" "$srv1" "$code"
refuses "BRISVANE_LOOKUP_URL is http://"         --allow-short-server-names "$http" "$srv1" "$code"
refuses "no BRISVANE_UPGRADE_CODE: .* $new_code" "${flags[@]}" "$http" "$srv1" "$no_code"
[ "$(grep -oE -e "$new_code" "$out/refusals.log" | sort -u | wc -l)" = 2 ] ||
    fail "the refusals did not offer a new UpgradeCode each"
pass "each risky setting, the cached one too, refused with its line; each flag lets its own through"

echo "=== Release without a certificate"
scripts/release.sh --dist "$out/unsigned" "${safe[@]}"
check_dist "$out/unsigned"
for file in "$out/unsigned/brisvane.exe" "$out"/unsigned/Brisvane-*-x64.msi; do
    ! osslsigncode extract-signature -in "$file" -out "$out/signature" >/dev/null 2>&1 ||
        fail "$file carries a signature"
done
pass "unsigned: neither file carries a signature"

echo "=== Release with a throwaway self-signed certificate"
export BRISVANE_SIGN_PASSWORD="$password"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Brisvane Release Test" \
    -addext "extendedKeyUsage=codeSigning" -addext "keyUsage=critical,digitalSignature" \
    -keyout "$out/signer.key" -out "$out/signer.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$out/signer.key" -in "$out/signer.pem" -out "$out/signer.p12" \
    -passout env:BRISVANE_SIGN_PASSWORD
scripts/release.sh --pfx "$out/signer.p12" --dist "$out/signed"
check_dist "$out/signed"
signed_msi="$(ls "$out"/signed/Brisvane-*-x64.msi)"
for file in "$out/signed/brisvane.exe" "$signed_msi"; do
    verifies "$file" || { cat "$out/verify.log"; fail "$file does not verify"; }
    change_one_byte "$file" "$out/changed"
    ! verifies "$out/changed" || fail "$file with one changed byte still verifies"
    grep -q MISMATCH "$out/verify.log" || fail "$file with one changed byte: no digest mismatch"
done
pass "signed: both files verify, and with one changed byte neither does"
# The program was signed before it went into the MSI.
mkdir "$out/extracted"
msiextract -C "$out/extracted" "$signed_msi" >/dev/null
packed="$(find "$out/extracted" -name brisvane.exe)"
cmp -s "$packed" "$out/signed/brisvane.exe" && verifies "$packed" ||
    fail "the MSI does not hold the signed brisvane.exe"
pass "signed: the MSI holds the signed brisvane.exe"

echo "=== Release with a time-stamp from a time-stamp authority on 127.0.0.1"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Brisvane Release Test TSA" \
    -addext "extendedKeyUsage=critical,timeStamping" -addext "keyUsage=critical,digitalSignature" \
    -keyout "$out/tsa.key" -out "$out/tsa.pem" 2>/dev/null
echo 01 >"$out/tsa.serial"
cat >"$out/tsa.cnf" <<EOF
[tsa]
default_tsa = release_test
[release_test]
serial = $PWD/$out/tsa.serial
signer_cert = $PWD/$out/tsa.pem
signer_key = $PWD/$out/tsa.key
signer_digest = sha256
default_policy = 1.3.6.1.4.1.0.1
digests = sha256
ess_cert_id_alg = sha256
EOF
python3 packaging/tests/timestamp_server.py "$out/tsa.cnf" >"$out/tsa.port" &
tsa_pid=$!
trap 'kill "$tsa_pid" 2>/dev/null || true' EXIT
for _ in $(seq 100); do
    [ -s "$out/tsa.port" ] && break
    sleep 0.1
done
scripts/release.sh --pfx "$out/signer.p12" --timestamp "http://127.0.0.1:$(cat "$out/tsa.port")/" \
    --dist "$out/stamped"
kill "$tsa_pid"
for file in "$out/stamped/brisvane.exe" "$out"/stamped/Brisvane-*-x64.msi; do
    osslsigncode verify -CAfile "$out/signer.pem" -TSA-CAfile "$out/tsa.pem" -in "$file" \
        >"$out/verify.log" 2>&1 &&
        grep -q '^Timestamp Server Signature verification: ok' "$out/verify.log" ||
        { cat "$out/verify.log"; fail "$file: no time-stamp that verifies"; }
done
pass "stamped: both signatures carry a time-stamp that verifies"

echo "=== Release with an unreachable time-stamp server"
if scripts/release.sh --pfx "$out/signer.p12" --timestamp http://127.0.0.1:9/ \
    --dist "$out/unstamped" >"$out/unstamped.log" 2>&1; then
    fail "release.sh succeeded without its time-stamp"
fi
[ ! -e "$out/unstamped" ] || fail "release.sh left files behind without its time-stamp"
pass "a time-stamp server that cannot be reached stops the release"

echo "=== The MSIs under Wine"
# An older Brisvane (0.0.1) from the same package source, for the major upgrade.
cp "$out/unsigned/brisvane.exe" window/resources/brisvane.ico "$out/"
(cd "$out" && wixl -a x64 -o older.msi -D Version=0.0.1 -D NextVersion=0.0.2 \
    -D Publisher=Older -D PublisherUrl=https://older.invalid/ \
    -D SupportUrl=https://older.invalid/ -D ProgramFile=brisvane.exe -D IconFile=brisvane.ico \
    -D UpgradeCode="$upgrade_code_value" \
    ../../packaging/brisvane.wxs)
cmake --preset windows >/dev/null
cmake --build --preset windows --parallel 2 --target brisvane_window_probe >/dev/null
lookup_url="$(sed -n 's/^BRISVANE_LOOKUP_URL:[A-Z]*=//p' build/release/CMakeCache.txt)"
scripts/wine-session.sh packaging/tests/msi-under-wine.sh "$out/older.msi" \
    "$(ls "$out"/unsigned/Brisvane-*-x64.msi)" "$signed_msi" \
    build/windows/packaging/brisvane_window_probe.exe "$lookup_url"

echo "=== The release test passed"
