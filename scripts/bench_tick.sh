#!/usr/bin/env bash
# Builds with optimisation and times one tick of the program at the defaults, stage by stage,
# then lets it tick in real time and reports its processor use:
#   scripts/bench_tick.sh [seconds of real ticks, default 60] [benchmark arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
seconds=${1:-60}
shift || true
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKAVREL_TESTS=OFF >/dev/null
cmake --build build-bench --target tick_bench
lscpu | grep -E 'Model name|^CPU\(s\)'
build-bench/bench/tick_bench --benchmark_counters_tabular=true "$@"
build-bench/bench/tick_bench --cpu-seconds="$seconds"
