#!/usr/bin/env bash
# Inside a Wine session (scripts/wine-session.sh): runs the demo organisation (its lookup service
# brisvane-lookupd natively over https, with a throwaway certificate authority that the prefix
# trusts, and its Windows side: the network provider and the members file the service reads),
# then brisvane.exe built for it, and shows the drive it mapped in Wine's file manager.
#   demo-session.sh <demo folder>                    the member uses the window on the display
#   demo-session.sh <demo folder> <pictures folder>  one sign-in walked through, with pictures
# The service is build/service/lookupd/brisvane-lookupd unless BRISVANE_LOOKUPD names another.
set -euo pipefail
demo="$(realpath "$1")"
pictures="${2:+$(realpath -m "$2")}"
root="$(cd "$(dirname "$0")/../.." && pwd)"
lookupd="${BRISVANE_LOOKUPD:-$root/build/service/lookupd/brisvane-lookupd}"
walkthrough_member=(alice wonderland)
source "$root/scripts/lib/test-pki.sh"
source "$root/scripts/lib/lookup-service.sh"
# shellcheck source=/dev/null  # written by the build (demo/CMakeLists.txt)
source "$demo/demo-settings.sh"

# The organisation's Linux side lives in the prefix's folder and goes with it.
organisation="$WINEPREFIX/demo-organisation"
mkdir -p "$organisation/pki"
make_test_pki "$organisation/pki" >/dev/null
# The organisation's IT department has put its certificate authority on the member's machine.
wine "$demo/brisvane-trust-ca.exe" "$(winepath -w "$organisation/pki/ca.der")" >/dev/null

# The home share that every mapped drive shows: a copy of demo/home-share in the prefix.
home="$WINEPREFIX/drive_c/demo-home-share"
cp -r "$root/demo/home-share" "$home"

members="$organisation/members.tsv"
organisation_log="$organisation/windows-side.log"
: >"$organisation_log"
wine "$demo/brisvane-demo-organisation.exe" 'C:\demo-home-share' "$(winepath -w "$members")" \
    >"$organisation_log" 2>&1 &
windows_side=$!
for _ in $(seq 300); do
    grep -q '^Ready' "$organisation_log" && break
    if ! kill -0 "$windows_side" 2>/dev/null; then
        cat "$organisation_log" >&2
        echo "demo-session.sh: the demo organisation did not start" >&2
        exit 1
    fi
    sleep 0.2
done

# The lookup service answers from the members file that the Windows side has written.
# shellcheck disable=SC2154  # demo-settings.sh sets demo_port and demo_file_servers
cat >"$organisation/lookupd.toml" <<TOML
[listen]
address = "127.0.0.1:$demo_port"
path = "/cs/servers/serversearch.asp"
tls_certificate = "$organisation/pki/localhost.pem"
tls_key = "$organisation/pki/localhost.key"

[members]
file = "$members"

[organisation]
file_servers = [$(printf '"%s", ' "${demo_file_servers[@]}" | sed 's/, $//')]

[log]
usernames = true
TOML
show_log=""
show_service_log=""
trap 'kill $show_log $show_service_log 2>/dev/null || true; lookup_service_stop "$organisation"' EXIT
lookup_service_start "$lookupd" "$organisation/lookupd.toml" "$demo_port" "$organisation"

# What the organisation says goes to the terminal: its members now, every request as it comes.
said="$(wc -l <"$organisation_log")"
head -n "$said" "$organisation_log" | sed 's/\r$//'
tail -n +"$((said + 1))" -f "$organisation_log" | sed -u 's/\r$//' &
show_log=$!
tail -n +1 -f "$organisation/service.log" | sed -u 's/^/Lookup service: /' &
show_service_log=$!

# The letter that the demo made a drive of, if any (Wine keeps drives as links in dosdevices).
mapped_letter() {
    local link
    for link in "$WINEPREFIX"/dosdevices/?:; do
        if [ "$(readlink -f "$link")" = "$(readlink -f "$home")" ]; then
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
