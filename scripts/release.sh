#!/usr/bin/env bash
# Builds the organisation's brisvane.exe and the files an IT department hands out, on a Debian
# or Ubuntu machine, installing what is missing. Writes to dist/ (or --dist DIR):
#   brisvane.exe                 MinSizeRel, as `cmake --preset windows` builds it
#   Brisvane-<version>-x64.msi   per-machine install into Program Files, made with wixl
#   brisvane-lookupd_<version>_amd64.deb
#                                the organisation's share lookup service for Debian (CPack,
#                                packaging/debian/), built natively in build/release-service
#   SHA256SUMS                   of all three
#   winget/                      version, installer and default-locale manifests for the MSI
# With --pfx, both files are Authenticode-signed (SHA-256) with osslsigncode: the program before
# it goes into the MSI, then the MSI; the sums and the winget hash are of the signed files.
#
#   scripts/release.sh [--pfx FILE] [--timestamp URL] [--dist DIR] [--allow-...]
#                      [-DNAME=VALUE|-UNAME...]
#
#   --pfx FILE       PKCS#12 file with the code-signing certificate and its key. Its password
#                    comes from the environment variable BRISVANE_SIGN_PASSWORD (unset: none).
#   --timestamp URL  RFC 3161 time-stamp server for both signatures.
#   --dist DIR       where the files go (default dist), replacing those of an earlier release.
#   -DNAME=VALUE     organisation settings, passed to cmake, which keeps them in build/release
#                    (and build/release-service) for later runs (-UNAME drops one): the
#                    program's (BRISVANE_LOOKUP_URL...) and the release's (BRISVANE_PUBLISHER...,
#                    BRISVANE_DEB_MAINTAINER), listed in the README.
#
# It refuses (status 2, nothing written) a build whose settings, as build/release will use them,
# let someone else send the member's password to a server of their own, and one without the
# organisation's own BRISVANE_UPGRADE_CODE. Each risk can be taken on purpose:
#   --allow-any-file-server     no BRISVANE_FILE_SERVERS: the page may name any server
#   --allow-short-server-names  servers without a dot, in a one-label domain or in .local, and
#                               public suffixes (.co.uk), as the public suffix list has them
#   --allow-http-lookup         a BRISVANE_LOOKUP_URL that is http://, not https://
set +o xtrace  # which `bash -x` or an exported SHELLOPTS turns on: it would print the password
set -euo pipefail
set +o allexport  # which an exported SHELLOPTS could turn on: no variable below is exported

# The signing password stays in this shell: in a variable that no child process inherits, out
# of the environment before the first child starts. osslsigncode reads it from a file (sign).
declare +x sign_password="${BRISVANE_SIGN_PASSWORD:-}"
unset BRISVANE_SIGN_PASSWORD

cd "$(dirname "$0")/.."
source scripts/lib/packages.sh

usage() {
    sed -n '/^#   scripts\/release.sh/,/^#   --allow-http-lookup/s/^# \{0,1\}//p' "$0" >&2
    exit 2
}

pfx=""
timestamp=""
dist="dist"
defines=()
allow_any_file_server=""
allow_short_server_names=""
allow_http_lookup=""
while [ $# -gt 0 ]; do
    case "$1" in
        --pfx) [ $# -ge 2 ] || usage; pfx="$2"; shift 2 ;;
        --timestamp) [ $# -ge 2 ] || usage; timestamp="$2"; shift 2 ;;
        --dist) [ $# -ge 2 ] || usage; dist="$2"; shift 2 ;;
        --allow-any-file-server) allow_any_file_server=yes; shift ;;
        --allow-short-server-names) allow_short_server_names=yes; shift ;;
        --allow-http-lookup) allow_http_lookup=yes; shift ;;
        -[DU]?*) defines+=("$1"); shift ;;
        -h|--help) usage ;;
        *) echo "release.sh: unknown argument: $1" >&2; usage ;;
    esac
done
if [ -n "$pfx" ] && [ ! -r "$pfx" ]; then
    echo "release.sh: cannot read the certificate file $pfx" >&2
    exit 1
fi

ensure_packages cmake ninja-build mingw-w64 wixl msitools osslsigncode publicsuffix \
    build-essential pkg-config dpkg-dev libmicrohttpd-dev libldap-dev libtomlplusplus-dev \
    libcli11-dev

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
trap 'exit 1' INT TERM  # so that the EXIT trap removes the password file

# Configured first, so that the checks below see the settings the build will use: the command
# line's over those that build/release keeps from earlier runs. Configuring warns about the
# risks that the checks refuse; its warnings are shown once the checks have passed.
build=build/release
echo "=== Configuring $build"
if ! cmake --preset windows -B "$build" -DBUILD_TESTING=OFF "${defines[@]}" \
    >"$work/configure.log" 2>"$work/configure.warnings"; then
    cat "$work/configure.log" "$work/configure.warnings" >&2
    exit 1
fi

# The release settings and the program's risky ones, as packaging/CMakeLists.txt wrote them.
declare -A setting
while IFS= read -r line; do
    setting[${line%%=*}]="${line#*=}"
done <"$build/packaging/release-settings.txt"
version="${setting[VERSION]}"
if [[ ! "$version" =~ ^([0-9]+)\.([0-9]+)\.([0-9]+)$ ]]; then
    echo "release.sh: the project's version $version is not major.minor.patch" >&2
    exit 1
fi
next_version="${BASH_REMATCH[1]}.${BASH_REMATCH[2]}.$((BASH_REMATCH[3] + 1))"
msi_name="Brisvane-$version-x64.msi"

# The refusals, one line each, all of them at once.
refusals=()
refuse() { refusals+=("$*"); }
if [ -z "${setting[FILE_SERVERS]}" ] && [ -z "$allow_any_file_server" ]; then
    refuse "no BRISVANE_FILE_SERVERS: the lookup page could send the member's password to" \
        "any server; list the organisation's file servers (or pass --allow-any-file-server)"
fi
if [ -n "${setting[SHORT_FILE_SERVERS]}" ] && [ -z "$allow_short_server_names" ]; then
    refuse "BRISVANE_FILE_SERVERS has names that others can answer to:" \
        "${setting[SHORT_FILE_SERVERS]//;/ }; any machine on the member's network answers to a" \
        "name without a dot, in a one-label domain or in .local (LLMNR, NetBIOS, mDNS), anyone" \
        "can register a domain under a public suffix; give fully qualified names in the" \
        "organisation's own domain (or pass --allow-short-server-names)"
fi
if [[ "${setting[LOOKUP_URL]}" != https://* ]] && [ -z "$allow_http_lookup" ]; then
    refuse "BRISVANE_LOOKUP_URL is http://: whoever answers on the member's network can" \
        "answer in the lookup page's place; use https:// (or pass --allow-http-lookup)"
fi
if [ -z "${setting[UPGRADE_CODE]}" ]; then
    new_code="$(</proc/sys/kernel/random/uuid)"
    refuse "no BRISVANE_UPGRADE_CODE: give the organisation's own, for example this new one:" \
        "-DBRISVANE_UPGRADE_CODE=${new_code^^}"
fi
if [ ${#refusals[@]} -gt 0 ]; then
    printf 'release.sh: %s\n' "${refusals[@]}" >&2
    exit 2
fi
cat "$work/configure.warnings" >&2

echo "=== Building brisvane.exe (MinSizeRel) in $build"
cmake --build "$build" --target brisvane --parallel 2

# Signs $1 into $2. The password goes to osslsigncode in a file that only we can read (-readpass),
# never on a command line, where every user of the machine could see it. osslsigncode refuses an
# empty password file: a certificate without a password gets none.
sign() {
    local passfile="$work/password"
    local options=(-pkcs12 "$pfx" -h sha256 -n Brisvane -i "${setting[PUBLISHER_URL]}")
    if [ -n "$sign_password" ]; then
        (umask 077 && printf '%s' "$sign_password" >"$passfile")
        options+=(-readpass "$passfile")
    fi
    if [ -n "$timestamp" ]; then
        options+=(-ts "$timestamp")
    fi
    local status=0
    osslsigncode sign "${options[@]}" -in "$1" -out "$2" >"$work/sign.log" 2>&1 || status=$?
    rm -f "$passfile"
    if [ "$status" -ne 0 ]; then
        cat "$work/sign.log" >&2
        echo "release.sh: signing $(basename "$2") failed (the certificate's password in" \
            "BRISVANE_SIGN_PASSWORD? the time-stamp server?)" >&2
        exit 1
    fi
}

program="$work/brisvane.exe"
if [ -n "$pfx" ]; then
    echo "=== Signing brisvane.exe"
    sign "$build/window/brisvane.exe" "$program"
else
    cp "$build/window/brisvane.exe" "$program"
fi

echo "=== Packing $msi_name"
# wixl finds the files it packs only by paths relative to where it runs.
cp window/resources/brisvane.ico "$work/"
(cd "$work" && wixl -a x64 -o unsigned.msi \
    -D Version="$version" -D NextVersion="$next_version" \
    -D Publisher="${setting[PUBLISHER]}" -D PublisherUrl="${setting[PUBLISHER_URL]}" \
    -D SupportUrl="${setting[SUPPORT_URL]}" -D ProgramFile=brisvane.exe -D IconFile=brisvane.ico \
    -D UpgradeCode="${setting[UPGRADE_CODE]}" \
    "$OLDPWD/packaging/brisvane.wxs")
msi="$work/$msi_name"
if [ -n "$pfx" ]; then
    echo "=== Signing $msi_name"
    sign "$work/unsigned.msi" "$msi"
else
    mv "$work/unsigned.msi" "$msi"
fi

# The lookup service's Debian package, from a native Release build of its own (the service
# preset's settings, and the command line's: BRISVANE_DEB_MAINTAINER among them).
deb_name="brisvane-lookupd_${version}_amd64.deb"
service_build=build/release-service
echo "=== Building brisvane-lookupd and packing $deb_name in $service_build"
if ! { cmake --preset service -B "$service_build" "${defines[@]}" &&
    cmake --build "$service_build" --target brisvane-lookupd --parallel 2 &&
    (cd "$service_build" && cpack -B "$work/deb"); } >"$work/service.log" 2>&1; then
    cat "$work/service.log" >&2
    exit 1
fi

rm -rf "$dist/winget" "$dist/brisvane.exe" "$dist"/Brisvane-*-x64.msi \
    "$dist"/brisvane-lookupd_*_amd64.deb "$dist/SHA256SUMS"
mkdir -p "$dist/winget"
cp "$program" "$msi" "$work/deb/$deb_name" "$dist/"
(cd "$dist" && sha256sum brisvane.exe "$msi_name" "$deb_name" >SHA256SUMS)

# The winget manifests, from the templates in packaging/winget/. Every value goes in as a YAML
# single-quoted scalar, in which only the quote itself needs doubling.
msi_property() { msiinfo export "$msi" Property | tr -d '\r' | sed -n "s/^$1\t//p"; }
msi_sha256="$(sha256sum "$msi" | cut -d' ' -f1)"
declare -A field=(
    [IDENTIFIER]="${setting[WINGET_ID]}"
    [VERSION]="$version"
    [PUBLISHER]="${setting[PUBLISHER]}"
    [PUBLISHER_URL]="${setting[PUBLISHER_URL]}"
    [SUPPORT_URL]="${setting[SUPPORT_URL]}"
    [LICENSE]="${setting[LICENSE]}"
    [INSTALLER_URL]="${setting[DOWNLOAD_URL]%/}/$msi_name"
    [INSTALLER_SHA256]="${msi_sha256^^}"
    [PRODUCT_CODE]="$(msi_property ProductCode)"
    [UPGRADE_CODE]="$(msi_property UpgradeCode)"
)
for kind in version installer locale.en-US; do
    text="$(<"packaging/winget/$kind.yaml.in")"
    for key in "${!field[@]}"; do
        quoted="'${field[$key]//\'/\'\'}'"
        text="${text//@$key@/"$quoted"}"
    done
    if [ "$kind" = version ]; then
        target="$dist/winget/${setting[WINGET_ID]}.yaml"
    else
        target="$dist/winget/${setting[WINGET_ID]}.$kind.yaml"
    fi
    printf '%s\n' "$text" >"$target"
done

echo "=== Written to $dist/:"
(cd "$dist" && ls -l brisvane.exe "$msi_name" "$deb_name" SHA256SUMS winget/*)
if [ -z "$pfx" ]; then
    echo "Not signed: pass --pfx FILE (password in BRISVANE_SIGN_PASSWORD) to sign both files."
fi
placeholders="$({ grep -i placeholder "$build/packaging/release-settings.txt" |
    sed 's/=.*//; s/^/BRISVANE_/'
    grep -i '^BRISVANE_DEB_MAINTAINER:STRING=.*placeholder' "$service_build/CMakeCache.txt" 2>/dev/null |
        sed 's/:.*//'; } | paste -sd ' ' || true)"
if [ -n "$placeholders" ]; then
    echo "Warning: still placeholders, set with -DNAME=VALUE: $placeholders" >&2
fi
