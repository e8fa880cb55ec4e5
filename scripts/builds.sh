#!/usr/bin/env bash
# Builds what the documents (docs/development.md, docs/deploying.md) tell people to build beside the presets that scripts/test.sh tests,
# with warnings as errors as CI has them: brisvane.exe (mingw-w64, the program only) in Release,
# MinSizeRel and Debug, the native core (and brisvane-lookupd) in Release, and the benchmark
# preset (built, not run).
# The fuzz preset is built by scripts/fuzz.sh. Each build has a folder of its own under
# build/variants/ (the benchmark: build/bench), without the tests, so a later run rebuilds only
# what changed.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/packages.sh

ensure_packages build-essential cmake ninja-build pkg-config libpcre2-dev libbenchmark-dev \
    mingw-w64 libmicrohttpd-dev libldap-dev libtomlplusplus-dev libcli11-dev

jobs="${BRISVANE_JOBS:-2}"
plain=(-G Ninja -DBUILD_TESTING=OFF -DCMAKE_COMPILE_WARNING_AS_ERROR=ON)

for type in Release MinSizeRel Debug; do
    dir="build/variants/windows-${type,,}"
    echo "brisvane.exe, $type ($dir)"
    cmake -S . -B "$dir" "${plain[@]}" --toolchain cmake/mingw-w64-x86_64.cmake \
        -DCMAKE_BUILD_TYPE="$type" >/dev/null
    cmake --build "$dir" --target brisvane --parallel "$jobs"
done

echo "The native core, Release (build/variants/native-release)"
cmake -S . -B build/variants/native-release "${plain[@]}" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/variants/native-release --parallel "$jobs"

echo "The benchmark preset (build/bench)"
cmake --preset bench >/dev/null
cmake --build --preset bench --parallel "$jobs"
