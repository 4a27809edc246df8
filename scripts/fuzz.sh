#!/usr/bin/env bash
# Builds a fuzzer with clang and runs it: scripts/fuzz.sh [seconds] [target] (default 60 s).
#   target text      the text file reader and number parsing (default)
#   target settings  kavrel.ini through the settings handler, limits and derived sizes
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh clang libclang-rt-14-dev
seconds=${1:-60}
target=${2:-text}
case "$target" in
text) fuzzer=text_file_fuzzer ;;
settings) fuzzer=settings_fuzzer ;;
*) echo "unknown fuzz target: $target (text or settings)" >&2; exit 2 ;;
esac
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKAVREL_FUZZ=ON -DKAVREL_TESTS=OFF -DKAVREL_BENCH=OFF >/dev/null
cmake --build build-fuzz --target "$fuzzer"
corpus=build-fuzz/corpus-$target
mkdir -p "$corpus"
printf 'Fmin=40\r\nFmax=1200\r\nstep=33.3%%\r\nsize = 1,5\r\n"height"=2.8e2\n' >"$corpus/settings.ini"
printf 'Fmin = 55.125\rfmax=3000\nsize=50 %%\r\nheight=300.9\r\nwidth=4001\nstep=0' >"$corpus/edges.ini"
# Cheaper allocations for each input: a quarantine of 1 MB (still many inputs' worth of freed
# blocks, so a use after free inside an input is caught), no allocation stacks, no filling of new
# blocks. A crash input run directly (build-fuzz/$fuzzer crash-<hash>) gets full reports.
export ASAN_OPTIONS=${ASAN_OPTIONS-quarantine_size_mb=1:malloc_context_size=0:max_malloc_fill_size=0}
# The fuzzer's own length control: short inputs first (many more a second), longer ones as the
# short ones stop finding new paths; lines longer than the reader's buffer come within minutes.
build-fuzz/$fuzzer "$corpus" -max_total_time="$seconds" -max_len=12000 -print_final_stats=1
