#!/usr/bin/env bash
# Builds brisvane-lookupd's Debian package (preset service, CPack) and tests it on this machine,
# as root: lintian finds no error and no warning in it; dpkg -i; the installed program checks the installed configuration; systemd's
# verifier checks the installed unit and scores its hardening (systemd need not run: nothing is
# started); the members file is the service group's alone; dpkg --purge leaves no file, group or
# owner override behind. The purge runs whatever failed before it.
#
#   packaging/debian/test-deb.sh [DEB]   DEB: test this package instead of building one
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/lib/packages.sh

package=brisvane-lookupd
unit=/lib/systemd/system/$package.service
fail() { echo "FAIL: $*" >&2; exit 1; }
pass() { echo "ok: $*"; }

[ "$(id -u)" = 0 ] || fail "installs a package: run as root"
if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed'; then
    fail "$package is installed on this machine already; this test would remove it"
fi
ensure_packages build-essential cmake ninja-build pkg-config dpkg-dev libmicrohttpd-dev \
    libldap-dev libtomlplusplus-dev libcli11-dev systemd lintian

work="$(mktemp -d)"
if [ $# -ge 1 ]; then
    deb="$(realpath "$1")"
else
    echo "=== Building the package (preset service, cpack)"
    cmake --preset service >"$work/configure.log" 2>&1 || { cat "$work/configure.log"; exit 1; }
    cmake --build --preset service --parallel 2 >/dev/null
    (cd build/service && cpack -B "$work/deb" >"$work/cpack.log" 2>&1) ||
        { cat "$work/cpack.log"; exit 1; }
    deb="$(ls "$work"/deb/${package}_*_amd64.deb)"
fi
version="$(dpkg-deb -f "$deb" Version)"
[ "$(basename "$deb")" = "${package}_${version}_amd64.deb" ] ||
    fail "$(basename "$deb") is not named ${package}_<version>_amd64.deb"

# Every file and link where the package or its scripts may leave something: the package's
# own paths, what enabling a unit creates, dpkg's record of the package.
snapshot() {
    find /etc /usr/sbin /usr/share/doc /lib/systemd/system /var/lib/systemd /var/lib/dpkg/info \
        -xdev \( -path '*brisvane*' -o -path '/etc/systemd/*' -o -path '/var/lib/systemd/*' \) \
        2>/dev/null | sort
    getent group brisvane-lookupd || true
    dpkg-statoverride --list '*brisvane*' || true
}
snapshot >"$work/before"

# From here on, whatever fails: purge, then compare.
finish() {
    local status=$?
    trap - EXIT
    if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q installed; then
        echo "=== dpkg --purge $package"
        dpkg --purge "$package" >"$work/purge.log" 2>&1 || {
            cat "$work/purge.log"
            echo "FAIL: dpkg --purge $package" >&2
            status=1
        }
    fi
    snapshot >"$work/after"
    if diff "$work/before" "$work/after" >"$work/left"; then
        echo "ok: dpkg --purge left nothing behind"
    else
        echo "FAIL: the system differs after the purge:" >&2
        cat "$work/left" >&2
        status=1
    fi
    rm -rf "$work"
    exit "$status"
}
trap finish EXIT
trap 'exit 1' INT TERM

# Debian's own check of the package, before it is installed; the findings it only informs about
# are shown too. Those that cannot apply are overridden in the package, each with its reason.
echo "=== lintian $(basename "$deb")"
lintian_status=0
lintian --fail-on error,warning --display-info "$deb" >"$work/lintian.log" 2>&1 ||
    lintian_status=$?
grep -v '^running with root privileges is not recommended!$' "$work/lintian.log" || true
[ "$lintian_status" -eq 0 ] || fail "lintian finds errors or warnings in $(basename "$deb")"
pass "lintian: no error and no warning"

echo "=== dpkg -i $(basename "$deb")"
dpkg -i "$deb" >"$work/install.log" 2>&1 || { cat "$work/install.log"; fail "dpkg -i"; }
pass "installed $package $version"

for path in /usr/sbin/$package /etc/brisvane/lookupd.toml /etc/brisvane/members.tsv "$unit"; do
    [ -e "$path" ] || fail "the package did not install $path"
done
conffiles="$(dpkg-query -W -f='${Conffiles}' "$package")"
grep -q ' /etc/brisvane/lookupd.toml ' <<<"$conffiles" ||
    fail "/etc/brisvane/lookupd.toml is not a conffile"

/usr/sbin/$package --config /etc/brisvane/lookupd.toml --check-config ||
    fail "the installed program refuses the installed configuration"
pass "the installed program accepts the installed configuration (--check-config)"

# The verifier checks the unit's directives and that its programs exist. PID 1 need not be
# systemd: it loads the unit in a manager of its own and starts nothing.
SYSTEMD_LOG_COLOR=0 systemd-analyze verify "$unit" >"$work/verify.log" 2>&1 ||
    { cat "$work/verify.log"; fail "systemd-analyze verify $unit"; }
if grep -q . "$work/verify.log"; then
    cat "$work/verify.log"
    fail "systemd-analyze verify $unit has remarks"
fi
pass "systemd-analyze verify $unit"

# The unit's hardening, scored offline as "systemd-analyze security" scores a running one:
# 2.0 or less ("OK") passes.
SYSTEMD_LOG_COLOR=0 systemd-analyze security --offline=true --threshold=20 "$unit" \
    >"$work/security.log" 2>&1 ||
    { tail -n 5 "$work/security.log"; fail "systemd-analyze security: exposure above 2.0"; }
pass "systemd-analyze security: $(grep -o 'exposure level for .*' "$work/security.log")"
grep -q '^MemoryMax=' "$unit" || fail "the unit sets no MemoryMax"

# Who exists and where their shares are is for the service's group alone.
getent group brisvane-lookupd >/dev/null || fail "the package did not create brisvane-lookupd"
members_mode="$(stat -c '%U:%G %a' /etc/brisvane/members.tsv)"
[ "$members_mode" = "root:brisvane-lookupd 640" ] ||
    fail "/etc/brisvane/members.tsv is $members_mode, not root:brisvane-lookupd 640"
pass "/etc/brisvane/members.tsv is root:brisvane-lookupd 640"
