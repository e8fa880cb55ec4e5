#!/usr/bin/env bash
# Writes the documents that come from the lookup service's settings table
# (lookupd/settings_table.cpp), or with --check says which differ from it and fails:
#   lookupd/lookupd.toml           the commented example for Active Directory
#   packaging/debian/lookupd.toml  the Debian package's commented configuration
#   docs/lookup-service.md         the settings table, between its settings markers
#   lookupd/man/lookupd.toml.5     the SETTINGS section, between its settings markers
#
#   scripts/settings-documents.sh [--check] [GENERATOR]
# GENERATOR is the built brisvane_lookupd_documents; without it, it is built (preset native).
set -euo pipefail
cd "$(dirname "$0")/.."

check=""
if [ "${1:-}" = --check ]; then
    check=yes
    shift
fi
generator="${1:-}"
if [ -z "$generator" ]; then
    cmake --preset native >/dev/null
    cmake --build --preset native --target brisvane_lookupd_documents >/dev/null
    generator=build/native/lookupd/brisvane_lookupd_documents
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
differ=0

# settle FILE NEW: FILE becomes NEW (or, checking, is compared with it).
settle() {
    if [ -z "$check" ]; then
        cp "$2" "$1"
    elif ! diff -u "$1" "$2" >"$work/diff"; then
        echo "$1 differs from the settings table (scripts/settings-documents.sh writes it):"
        cat "$work/diff"
        differ=1
    fi
}

# region FILE BEGIN END CONTENT: FILE with the lines between the marker lines BEGIN and END
# replaced by the file CONTENT.
region() {
    # Through the environment: awk -v would read the markers' backslashes as escapes.
    BEGIN_MARK="$2" END_MARK="$3" CONTENT="$4" awk '
        $0 == ENVIRON["END_MARK"] { inside = 0 }
        !inside { print }
        $0 == ENVIRON["BEGIN_MARK"] {
            inside = 1
            while ((getline line < ENVIRON["CONTENT"]) > 0) print line
        }
    ' "$1"
}

"$generator" toml active-directory >"$work/active-directory.toml"
settle lookupd/lookupd.toml "$work/active-directory.toml"
"$generator" toml members-file >"$work/members-file.toml"
settle packaging/debian/lookupd.toml "$work/members-file.toml"
"$generator" markdown >"$work/settings.md"
region docs/lookup-service.md '<!-- settings: begin -->' '<!-- settings: end -->' "$work/settings.md" \
    >"$work/lookup-service.md"
settle docs/lookup-service.md "$work/lookup-service.md"
"$generator" man >"$work/settings.man"
region lookupd/man/lookupd.toml.5 '.\" settings: begin' '.\" settings: end' "$work/settings.man" \
    >"$work/lookupd.toml.5"
settle lookupd/man/lookupd.toml.5 "$work/lookupd.toml.5"

if [ -n "$check" ] && [ "$differ" -ne 0 ]; then
    exit 1
fi
