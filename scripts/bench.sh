#!/usr/bin/env bash
# Builds with optimisation, runs the engine benchmark (reference and fast paths side by side)
# and the numpy/scipy peer on the same blocks, and prints the ratios.
# Arguments are passed to the engine benchmark (for example --benchmark_filter=Run/).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh python3-numpy python3-scipy
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKAVREL_TESTS=OFF >/dev/null
cmake --build build-bench --target zol_bench
out=build-bench/results
mkdir -p "$out"
build-bench/bench/zol_bench --write-blocks="$out"
build-bench/bench/zol_bench --benchmark_out="$out/zol.json" --benchmark_out_format=json "$@"
echo
/usr/bin/python3 bench/peer_scipy.py --blocks "$out" --zol-json "$out/zol.json"
