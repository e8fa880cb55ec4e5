#!/usr/bin/env bash
# Builds the locator search benchmark (g++, Release, no sanitizers) and runs it: our search,
# PCRE2's JIT and a plain scan on the same pages, each measured five times in random order (so
# that a busy machine hurts all three alike), then a table of the medians with their ranges, and
# of the runs' ratios.
# Arguments go to Google Benchmark, e.g. --benchmark_filter=page_10M.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/packages.sh

ensure_packages build-essential cmake ninja-build pkg-config libpcre2-dev libbenchmark-dev

cmake --preset bench >/dev/null
cmake --build --preset bench --parallel 2

build/bench/bench/brisvane_locator_bench --benchmark_repetitions=5 \
    --benchmark_enable_random_interleaving=true \
    --benchmark_color=false "$@"
