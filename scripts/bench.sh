#!/usr/bin/env bash
# Builds with optimisation and runs the engine benchmark.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKAVREL_TESTS=OFF >/dev/null
cmake --build build-bench --target zol_bench
build-bench/bench/zol_bench --benchmark_counters_tabular=true "$@"
