#!/usr/bin/env bash
# Builds with optimisation and times one tick of the program at the defaults, stage by stage,
# then lets it tick in real time at the defaults, step = 1 %, 0.5 % and a hop of one sample and
# reports for each its processor seconds per second of sound and its largest lag:
#   scripts/bench_tick.sh [seconds of real ticks each, default 30] [benchmark arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
seconds=${1:-30}
shift || true
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKAVREL_TESTS=OFF >/dev/null
cmake --build build-bench --target tick_bench
lscpu | grep -E 'Model name|^CPU\(s\)'
build-bench/bench/tick_bench --benchmark_counters_tabular=true "$@"
for settings in "" "step = 1 %" "step = 0.5 %" "step = 0.002"; do
    echo "kavrel.ini: ${settings:-(none)}"
    build-bench/bench/tick_bench --cpu-seconds="$seconds" --settings="$settings"
done
