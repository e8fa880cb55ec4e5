#!/usr/bin/env bash
# Runs clang-tidy over the platform-free code (the core, the window's behaviour and the lookup
# service's plain parts) with the compile commands of a native build. The service's adapters to
# C libraries (http_server.cpp, ldap_directory.cpp, main.cpp) stay out, as win32/ does: casts
# and variadic calls are what those APIs are made of.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${1:-build/native}"
mapfile -t files < <(git ls-files -co --exclude-standard 'mount/*.cpp' ':(glob)window/*.cpp' \
    ':(glob)lookupd/*.cpp' ':!lookupd/http_server.cpp' ':!lookupd/ldap_directory.cpp' \
    ':!lookupd/main.cpp')
# clang-tidy counts the warnings it suppressed in system headers on stderr; keep the rest.
clang-tidy -p "$build_dir" --quiet "${files[@]}" 2> >(grep -v -E '^[0-9]+ warnings? generated\.$' >&2)
echo "clang-tidy: ${#files[@]} files clean"
