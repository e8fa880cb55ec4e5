#!/usr/bin/env bash
# Builds the fuzz targets with clang++ and libFuzzer under AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs each for a while from its committed corpus (fuzz/corpus/).
# New inputs go to build/fuzz/corpus/<target>, which later runs start from as well. A finding
# stops the run, saves the input in build/fuzz/findings/<target>/ and fails the script: add that
# input to fuzz/corpus/<target>/ (the normal test run replays it) and fix the cause.
#
# Usage: scripts/fuzz.sh [seconds per target, default 600] [target...]
# Targets: share_locator username mount_error mount_workflow lookup_request (default: all).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/packages.sh

ensure_packages cmake ninja-build pkg-config libpcre2-dev clang libclang-rt-14-dev \
    libmicrohttpd-dev libldap-dev libtomlplusplus-dev libcli11-dev

seconds="${1:-600}"
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=(share_locator username mount_error mount_workflow lookup_request)
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --parallel 2 --target "${targets[@]/#/brisvane_fuzz_}"

summary=()
for target in "${targets[@]}"; do
    work="build/fuzz/corpus/$target"
    findings="build/fuzz/findings/$target"
    log="build/fuzz/logs/$target.log"
    mkdir -p "$work" "$findings" "$(dirname "$log")"
    echo "Fuzzing $target for ${seconds} s"
    # -timeout turns a page that takes seconds (a search gone quadratic) into a finding.
    if ! "build/fuzz/fuzz/brisvane_fuzz_$target" "$work" "fuzz/corpus/$target" \
        -dict="fuzz/dict/$target.dict" -max_total_time="$seconds" -timeout=10 \
        -max_len=8192 -rss_limit_mb=2048 -artifact_prefix="$findings/" -print_final_stats=1 \
        >"$log" 2>&1; then
        tail -n 40 "$log"
        echo "FINDING in $target: input saved in $findings/ (full log: $log)" >&2
        exit 1
    fi
    runs=$(sed -n 's/^Done \([0-9]*\) runs in \([0-9]*\) second.*/\1 runs in \2 s/p' "$log")
    summary+=("$(printf '%-16s %s, no finding' "$target" "$runs")")
done

printf '%s\n' "${summary[@]}"
