#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
#   scripts/test.sh              normal build in build/
#   scripts/test.sh --sanitize   AddressSanitizer and UndefinedBehaviorSanitizer build in build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."

dir=build
options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DKAVREL_WERROR=ON)
if [ "${1:-}" = "--sanitize" ]; then
    dir=build-asan
    options=(-DCMAKE_BUILD_TYPE=Debug -DKAVREL_SANITIZE=ON -DKAVREL_BENCH=OFF -DKAVREL_WERROR=ON)
fi

scripts/setup.sh
cmake -S . -B "$dir" -G Ninja "${options[@]}" >/dev/null
cmake --build "$dir"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# A test that hangs fails after five minutes, by name, instead of stalling the run.
ctest --test-dir "$dir" --output-on-failure -j "$(nproc)" --timeout 300
