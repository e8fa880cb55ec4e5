#!/usr/bin/env bash
# Runs every check of the project on a Debian or Ubuntu machine, installing what is missing:
# every include against the table of layers in docs/architecture.md, formatting, the native
# core tests under AddressSanitizer and UndefinedBehaviorSanitizer, the Windows build
# (mingw-w64) with its tests under Wine in a private prefix and display (the end-to-end tests of
# brisvane.exe among them), the same chain on real parts (an Active Directory domain and its
# Samba file server, in a network namespace with nothing but loopback: needs root), clang-tidy
# on every product folder, the other builds the documents name (scripts/builds.sh), the lookup
# service's Debian package (installed, checked by lintian
# and purged: needs root) and a 30 s soak of the service, and a short run of every fuzz target.
# Warnings are errors in all of them. Exits non-zero on the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/packages.sh

ensure_packages build-essential cmake ninja-build pkg-config googletest libpcre2-dev \
    clang-format clang-tidy clang libclang-rt-14-dev mingw-w64 wine wine64 xvfb xauth curl \
    python3 unicode-data
ensure_lookup_service_packages
ensure_samba_packages

step() { printf '\n=== %s (at %d s)\n' "$*" "$SECONDS"; }

step "Includes against the table of layers (docs/architecture.md)"
scripts/check-layers.py --self-test
scripts/check-layers.py

step "Formatting (clang-format)"
scripts/format.sh --check

step "Native build and tests (g++, ASan + UBSan)"
cmake --preset native
cmake --build --preset native
ctest --preset native

step "Windows build (mingw-w64) and tests under Wine, end to end included"
# The https end-to-end tests run the lookup service built natively, on a slapd of their own.
cmake --preset service
cmake --build --preset service --target brisvane-lookupd
cmake --preset windows
cmake --build --preset windows
scripts/wine-session.sh ctest --preset windows -LE active-directory

step "Real parts: Samba AD -> lookup service -> brisvane.exe -> provider -> Samba SMB (loopback only)"
scripts/loopback-only.sh scripts/wine-session.sh ctest --preset windows -L active-directory

step "clang-tidy on every product folder (native and mingw-w64 compile commands)"
scripts/tidy.sh build/native build/windows

step "The documents' other builds (brisvane.exe Release, MinSizeRel, Debug; core Release; bench)"
scripts/builds.sh

step "Release: scripts/release.sh unsigned and signed, the MSI installed and removed under Wine"
packaging/tests/test-release.sh

step "The lookup service: its Debian package installed, checked and purged; a 30 s soak"
packaging/debian/test-deb.sh
scripts/soak-lookupd.sh 30

step "Fuzzing (clang++ libFuzzer, ASan + UBSan, 30 s per target)"
scripts/fuzz.sh 30

step "All checks passed"
