# Installs Debian packages that are not installed yet; sourced by the project's scripts.
# Recommended packages come too: Wine needs its recommended fonts and X libraries to render
# and measure the window as on a desktop.

ensure_packages() {
    _ensure_packages_with "" "$@"
}

# OPTIONS (one word, or empty) for apt-get install, then the packages.
_ensure_packages_with() {
    local options="$1"
    shift
    local missing=()
    local package
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed"; then
            missing+=("$package")
        fi
    done
    if [ ${#missing[@]} -eq 0 ]; then
        return 0
    fi
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        sudo=(sudo)
    fi
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq ${options:+"$options"} \
        "${missing[@]}" >/dev/null
}

# What building and running the lookup service (lookupd/) and its https set-up need: the
# service's libraries, certtool for the test certificates, slapd for the tests and ss to see
# the service listen, python3 for its scripted directory and concurrent clients, nginx as
# the front end its tests send hostile requests through.
ensure_lookup_service_packages() {
    ensure_packages g++ cmake ninja-build pkg-config libmicrohttpd-dev libldap-dev \
        libtomlplusplus-dev libcli11-dev gnutls-bin slapd ldap-utils iproute2 python3 nginx
}

# The test Active Directory domain and its SMB file server (scripts/lib/samba-ad.sh), and the
# SMB bridge of the test network provider (standins/smb_bridge.py): Samba as a domain controller
# with its provisioning data and Python bindings, smbnetfs (FUSE, mounted by root without
# fusermount), ldapsearch, ss and ip. Without recommended packages: those would add winbind to
# the machine's name service (libnss-winbind) and start nothing we use.
ensure_samba_packages() {
    _ensure_packages_with --no-install-recommends samba samba-ad-dc samba-ad-provision \
        python3-samba smbnetfs ldap-utils iproute2
}
