#!/usr/bin/env bash
# The MSIs in a private Wine prefix, run by packaging/tests/test-release.sh through
# scripts/wine-session.sh:
#   msi-under-wine.sh <older.msi> <unsigned.msi> <signed.msi> <probe.exe> <lookup URL>
# Installs the older package, then this version's unsigned and signed packages over it (each
# replaces what is there), starts the installed program and waits for its window, checks that
# the older package refuses to replace this version, and removes Brisvane. All silently (/qn).
set -euo pipefail
older="$1"
unsigned="$2"
signed="$3"
probe="$4"
lookup_url="$5"

# Wine's menu builder would copy the shortcut into the desktop's menus, outside the prefix.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-};winemenubuilder.exe=d"

fail() {
    echo "FAILED: $*" >&2
    exit 1
}
pass() { echo "ok: $*"; }

drive_c="$WINEPREFIX/drive_c"
program="$drive_c/Program Files/Brisvane/brisvane.exe"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'

msiexec() { wine msiexec "$@" >/dev/null 2>&1; }

# "<product code> <version>" of every Brisvane in Add/Remove Programs, one a line.
installed() {
    wine reg query "$uninstall_key" /s 2>/dev/null | tr -d '\r' | awk '
        /^HKEY_/ { if (name == "Brisvane") print code, version
                   n = split($0, parts, "\\"); code = parts[n]; name = version = "" }
        $1 == "DisplayName" { name = substr($0, index($0, "REG_SZ") + 10) }
        $1 == "DisplayVersion" { version = $3 }
        END { if (name == "Brisvane") print code, version }'
}

property() { msiinfo export "$1" Property | tr -d '\r' | sed -n "s/^$2\t//p"; }

# Exactly one Brisvane is registered: the one of package $1.
only_installed() {
    local expected seen
    expected="$(property "$1" ProductCode) $(property "$1" ProductVersion)"
    seen="$(installed)"
    [ "$seen" = "$expected" ] ||
        fail "expected only $expected in Add/Remove Programs, found: ${seen:-nothing}"
}

# Windows puts a per-machine shortcut into the common Start menu (ProgramData); Wine 8 puts it
# into the installing user's, as its msi resolves ProgramMenuFolder without regard to ALLUSERS.
shortcut() {
    find "$drive_c/ProgramData" "$drive_c/users" -path '*/Start Menu/Programs/Brisvane.lnk' \
        2>/dev/null || true
}

windows_path() { winepath -w "$1"; }

echo "--- older package ($(property "$older" ProductVersion))"
msiexec /i "$(windows_path "$older")" /qn || fail "the older package did not install"
only_installed "$older"
pass "the older package installed"

echo "--- this version, unsigned, over the older one"
msiexec /i "$(windows_path "$unsigned")" /qn || fail "the unsigned package did not install"
only_installed "$unsigned"
pass "the unsigned package replaced the older one"

echo "--- this version, signed, over the unsigned build of the same version"
msiexec /i "$(windows_path "$signed")" /qn || fail "the signed package did not install"
only_installed "$signed"
pass "the signed package replaced the unsigned build of the same version"

cmp -s "$program" "$(dirname "$signed")/brisvane.exe" ||
    fail "C:\\Program Files\\Brisvane\\brisvane.exe is not the signed program"
link="$(shortcut)"
[ -n "$link" ] || fail "no Brisvane.lnk in the Start menu"
# The shortcut leads to the installed program (Wine writes its path into the .lnk in ANSI too).
grep -qxF 'C:\Program Files\Brisvane\brisvane.exe' <<<"$(strings -a "$link")" ||
    fail "the shortcut does not lead to C:\\Program Files\\Brisvane\\brisvane.exe"
pass "brisvane.exe in C:\\Program Files\\Brisvane, shortcut ${link#"$drive_c/"}"

# Add/Remove Programs: the publisher, and the product icon registered per machine.
code="$(property "$signed" ProductCode)"
publisher="$(wine reg query "$uninstall_key\\$code" /v Publisher 2>/dev/null | tr -d '\r' |
    sed -n 's/.*REG_SZ *//p')"
[ "$publisher" = "$(property "$signed" Manufacturer)" ] ||
    fail "Add/Remove Programs shows the publisher \"$publisher\""
icon="$(wine reg query 'HKLM\Software\Classes\Installer\Products' /s 2>/dev/null | tr -d '\r' |
    sed -n 's/^ *ProductIcon *REG_SZ *//p')"
[ -n "$icon" ] && [ -f "$(winepath -u "$icon")" ] || fail "no product icon registered per machine"
pass "Add/Remove Programs: $(installed), $publisher, icon $icon"

echo "--- the installed program"
output="$(wine "$probe" 'C:\Program Files\Brisvane\brisvane.exe' 2>/dev/null | tr -d '\r')" ||
    fail "the installed program's window: $output"
echo "$output"
grep -qF "web site: $lookup_url;" <<<"$output" ||
    fail "the installed program does not show the organisation's lookup page $lookup_url"
pass "the installed program opened its window"

echo "--- the older package over this version"
if msiexec /i "$(windows_path "$older")" /qn; then
    fail "the older package replaced a newer one"
fi
only_installed "$signed"
pass "the older package refused to replace this version"

echo "--- removal"
msiexec /x "$(windows_path "$signed")" /qn || fail "removal failed"
[ ! -e "$program" ] && [ ! -e "$(dirname "$program")" ] || fail "brisvane.exe or its folder is left"
[ -z "$(shortcut)" ] || fail "the shortcut is left"
[ -z "$(installed)" ] || fail "Add/Remove Programs still lists Brisvane"
pass "removed: no program, folder, shortcut or Add/Remove Programs entry left"
