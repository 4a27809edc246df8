#!/usr/bin/env bash
# Runs the program for one simulated hour of ticks on the virtual clock (as fast as the machine
# allows) with a scripted sound source and prints its resident memory as it goes; it should
# stay flat. Not part of CI. scripts/soak.sh [simulated seconds, default 3600]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKAVREL_TESTS=OFF >/dev/null
cmake --build build-bench --target tick_bench
time build-bench/bench/tick_bench --soak-seconds="${1:-3600}"
