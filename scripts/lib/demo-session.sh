#!/usr/bin/env bash
# Inside a Wine session (scripts/wine-session.sh): runs the demo organisation (its lookup service
# brisvane-lookupd natively over https, with a throwaway certificate authority that the prefix
# trusts, and its Windows side: the network provider and the members file the service reads),
# then brisvane.exe built for it, and shows the drive it mapped in Wine's file manager.
#   demo-session.sh <demo folder>                    the member uses the window on the display
#   demo-session.sh <demo folder> <pictures folder>  one sign-in walked through, with pictures
# With --active-directory first, the organisation runs on real parts (as root): the test Active
# Directory domain and its Samba file server (scripts/lib/samba-ad.sh), the service on the domain
# over ldaps, and the provider in its SMB mode, through the SMB bridge; the walk-through then
# also checks that the drive shows the member's file as Samba serves it over SMB.
# The service is build/service/lookupd/brisvane-lookupd unless BRISVANE_LOOKUPD names another.
set -euo pipefail
active_directory=0
if [ "${1:-}" = --active-directory ]; then
    active_directory=1
    shift
fi
demo="$(realpath "$1")"
pictures="${2:+$(realpath -m "$2")}"
root="$(cd "$(dirname "$0")/../.." && pwd)"
lookupd="${BRISVANE_LOOKUPD:-$root/build/service/lookupd/brisvane-lookupd}"
source "$root/scripts/lib/test-pki.sh"
source "$root/scripts/lib/lookup-service.sh"
source "$root/scripts/lib/samba-ad.sh"
source "$root/scripts/lib/smb-bridge.sh"
# shellcheck source=/dev/null  # written by the build (demo/CMakeLists.txt)
source "$demo/demo-settings.sh"

# The organisation's Linux side lives in the prefix's folder and goes with it; on real parts it
# lives beside it, since the prefix is removed whole and a live mount below it would take the
# member's files on the file server along.
organisation="$WINEPREFIX/demo-organisation"
if [ "$active_directory" = 1 ]; then
    organisation="$root/build/demo-active-directory"
fi
mkdir -p "$organisation/pki"
make_test_pki "$organisation/pki" >/dev/null
# The organisation's IT department has put its certificate authority on the member's machine.
wine "$demo/brisvane-trust-ca.exe" "$(winepath -w "$organisation/pki/ca.der")" >/dev/null

organisation_log="$organisation/windows-side.log"
: >"$organisation_log"
show_log=""
show_service_log=""
show_bridge_log=""
stop_organisation() {
    kill $show_log $show_service_log $show_bridge_log 2>/dev/null || true
    lookup_service_stop "$organisation"
    if [ "$active_directory" = 1 ]; then
        # The shares are unmounted before anything of the organisation is removed.
        smb_bridge_stop "$organisation/bridge" && samba_ad_stop "$organisation/domain" &&
            rm -rf "$organisation"
    fi
}
trap stop_organisation EXIT

# The Windows side, which prints "Ready" once the network provider plays the file servers.
start_windows_side() {
    wine "$demo/brisvane-demo-organisation.exe" "$@" >"$organisation_log" 2>&1 &
    local windows_side=$! _
    for _ in $(seq 300); do
        grep -q '^Ready' "$organisation_log" && return 0
        if ! kill -0 "$windows_side" 2>/dev/null; then
            cat "$organisation_log" >&2
            echo "demo-session.sh: the demo organisation did not start" >&2
            exit 1
        fi
        sleep 0.2
    done
}

# shellcheck disable=SC2154  # demo-settings.sh sets demo_port and demo_file_servers
if [ "$active_directory" = 1 ]; then
    # The domain, its Samba serving the members' shares to the provider through the SMB bridge,
    # and the lookup service on the domain with the Active Directory configuration of docs/lookup-service.md.
    samba_ad_start "$organisation/domain"
    bridge_port=$((demo_port + 3))
    mapfile -t bridge_servers < <(printf "%s=$SAMBA_AD_ADDRESS\n" "${demo_file_servers[@]}")
    smb_bridge_start "$organisation/bridge" "$bridge_port" "${bridge_servers[@]}"
    start_windows_side --smb-bridge "127.0.0.1:$bridge_port"
    samba_ad_lookupd_config "$organisation/domain" "$lookupd" "127.0.0.1:$demo_port" \
        "$organisation/pki/localhost.pem" "$organisation/pki/localhost.key" \
        "${demo_file_servers[@]}" >"$organisation/lookupd.toml"
    lookup_service_start "$lookupd" "$organisation/lookupd.toml" "$demo_port" "$organisation" \
        "$organisation/domain/hosts"
    echo "The domain's members (standins/directory/ad-members.tsv):"
    grep -v '^#' "$root/standins/directory/ad-members.tsv" |
        awk -F '\t' '{ printf "  member %s, password %s (%s), home share %s\n", $1, $2, $3, $4 }'
    walkthrough_member=(alice Wonderland-1)
else
    # The home share that every mapped drive shows: a copy of demo/home-share in the prefix.
    home="$WINEPREFIX/drive_c/demo-home-share"
    cp -r "$root/demo/home-share" "$home"
    members="$organisation/members.tsv"
    start_windows_side 'C:\demo-home-share' "$(winepath -w "$members")"
    # The lookup service answers from the members file that the Windows side has written.
    lookup_service_config "127.0.0.1:$demo_port" "$organisation/pki/localhost.pem" \
        "$organisation/pki/localhost.key" "$(printf '[members]\nfile = "%s"' "$members")" \
        "${demo_file_servers[@]}" >"$organisation/lookupd.toml"
    lookup_service_start "$lookupd" "$organisation/lookupd.toml" "$demo_port" "$organisation"
    walkthrough_member=(alice wonderland)
fi

# What the organisation says goes to the terminal: its members now, every request as it comes.
said="$(wc -l <"$organisation_log")"
head -n "$said" "$organisation_log" | sed 's/\r$//'
tail -n +"$((said + 1))" -f "$organisation_log" | sed -u 's/\r$//' &
show_log=$!
tail -n +1 -f "$organisation/service.log" | sed -u 's/^/Lookup service: /' &
show_service_log=$!
if [ "$active_directory" = 1 ]; then
    tail -n +2 -f "$organisation/bridge/bridge.log" | sed -u 's/^/File server: /' &
    show_bridge_log=$!
fi

# The letter that the demo made a drive of, if any (Wine keeps drives as links in dosdevices):
# one showing the home share, or on real parts a share that the SMB bridge mounted.
mapped_letter() {
    local link target
    for link in "$WINEPREFIX"/dosdevices/?:; do
        target="$(readlink -f "$link")"
        if { [ "$active_directory" = 0 ] && [ "$target" = "$(readlink -f "$home")" ]; } ||
            { [ "$active_directory" = 1 ] &&
                [[ "$target" == "$organisation/bridge/mounts/"* ]]; }; then
            basename "$link" | tr '[:lower:]' '[:upper:]'
            return
        fi
    done
}

if [ -z "$pictures" ]; then
    echo "Sign in as one of the members above; Cancel or the close box ends Brisvane."
    wine "$demo/brisvane.exe" || true
    letter="$(mapped_letter)"
    if [ -z "$letter" ]; then
        echo "No drive was mapped."
        exit 0
    fi
    echo "Brisvane mapped $letter to the home share: opening it in Wine's file manager."
    wine explorer "$letter\\" || true
    exit 0
fi

mkdir -p "$pictures"
# The pointer stays off the windows, so that no tooltip covers them.
xdotool mousemove 0 0
take_picture() {  # name width height left top
    sleep 1  # for Wine to put the last painting on the screen
    import -window root -crop "${2}x${3}+${4}+${5}" +repage "$pictures/$1.png"
    echo "saved $pictures/$1.png"
}

# The walk-through asks for each picture on its output and waits for a line on its input.
coproc walk { wine "$demo/brisvane-demo-walkthrough.exe" "${walkthrough_member[@]}" 2>&1; }
# shellcheck disable=SC2154  # coproc sets walk_PID
walk_pid=$walk_PID
picture='^picture ([^ ]+) (-?[0-9]+) (-?[0-9]+) ([0-9]+) ([0-9]+)$'
while IFS= read -r line <&"${walk[0]}"; do
    line="${line%$'\r'}"
    if [[ "$line" =~ $picture ]]; then
        take_picture "${BASH_REMATCH[1]}" "${BASH_REMATCH[4]}" "${BASH_REMATCH[5]}" \
            "${BASH_REMATCH[2]}" "${BASH_REMATCH[3]}"
        echo >&"${walk[1]}"
    else
        echo "$line"
    fi
done
if ! wait "$walk_pid"; then
    echo "demo-session.sh: the walk-through failed" >&2
    exit 1
fi

letter="$(mapped_letter)"
if [ -z "$letter" ]; then
    echo "demo-session.sh: no drive shows the home share" >&2
    exit 1
fi
if [ "$active_directory" = 1 ]; then
    # The drive is a FUSE mount of the share over SMB, and reading the member's file through the
    # drive letter, under Wine, gives the bytes that Samba keeps.
    target="$(readlink -f "$WINEPREFIX/dosdevices/${letter,,}")"
    kept="$organisation/domain/domain/shares/${walkthrough_member[0]}/Welcome.txt"
    if [ "$(findmnt -n -o FSTYPE --target "$target")" != fuse.smbnetfs ] ||
        ! cmp -s <(wine cmd /c type "$letter\\Welcome.txt" 2>/dev/null) "$kept"; then
        echo "demo-session.sh: $letter does not show ${walkthrough_member[0]}'s file over SMB" >&2
        exit 1
    fi
    echo "$letter shows Welcome.txt as Samba serves it over SMB: $(cat "$kept")"
fi
wine explorer "$letter\\" &
explorer=""
for _ in $(seq 150); do
    explorer="$(xdotool search --onlyvisible --name "\\($letter\\)\$" 2>/dev/null | head -n 1 || true)"
    [ -n "$explorer" ] && break
    sleep 0.2
done
if [ -z "$explorer" ]; then
    echo "demo-session.sh: the file manager did not show $letter" >&2
    exit 1
fi
eval "$(xdotool getwindowgeometry --shell "$explorer")"
take_picture 4-home-share "$WIDTH" "$HEIGHT" "$X" "$Y"
