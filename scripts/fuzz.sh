#!/usr/bin/env bash
# Builds the text file fuzzer with clang and runs it: scripts/fuzz.sh [seconds] (default 60).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh clang libclang-rt-14-dev
seconds=${1:-60}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKAVREL_FUZZ=ON -DKAVREL_TESTS=OFF -DKAVREL_BENCH=OFF >/dev/null
cmake --build build-fuzz --target text_file_fuzzer
corpus=build-fuzz/corpus
mkdir -p "$corpus"
printf 'Fmin=40\r\nFmax=1200\r\nstep=33.3%%\r\nsize = 1,5\r\n"height"=2.8e2\n' >"$corpus/settings.ini"
# Cheaper allocations for each input: a quarantine of 1 MB (still many inputs' worth of freed
# blocks, so a use after free inside an input is caught), no allocation stacks, no filling of new
# blocks. A crash input run directly (build-fuzz/text_file_fuzzer crash-<hash>) gets full reports.
export ASAN_OPTIONS=${ASAN_OPTIONS-quarantine_size_mb=1:malloc_context_size=0:max_malloc_fill_size=0}
build-fuzz/text_file_fuzzer "$corpus" -max_total_time="$seconds" -max_len=12000 -len_control=0 -print_final_stats=1
