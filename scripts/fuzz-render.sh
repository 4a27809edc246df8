#!/usr/bin/env bash
# Builds kavrel-render's sound-file reader fuzzer with clang and runs it:
# scripts/fuzz-render.sh [seconds] (default 60 s). The corpus starts from small files of every
# kind the reader accepts, made with sox. An input that takes more than 1 s or 256 MB fails.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh clang libclang-rt-14-dev sox
seconds=${1:-60}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKAVREL_FUZZ=ON -DKAVREL_TESTS=OFF -DKAVREL_BENCH=OFF >/dev/null
cmake --build build-fuzz --target sound_file_fuzzer
corpus=build-fuzz/corpus-sound
mkdir -p "$corpus"
seed() { # name, sox output options; the first byte picks channel and span
    printf '\000' >"$corpus/$1"
    sox -n "${@:2}" -t "${1##*.}" - synth 0.1 sine 440 2>/dev/null >>"$corpus/$1"
}
seed s16.wav -r 11025 -b 16 -c 1
seed s24.wav -r 44100 -b 24 -c 2
seed f32.wav -r 48000 -e floating-point -b 32 -c 1
seed u8.wav -r 8000 -b 8 -c 1
seed s.flac -r 22050 -b 16 -c 2
# AddressSanitizer keeps up to 256 MB of freed memory in quarantine by default, which alone would
# pass the limit; a smaller quarantine leaves the limit to what an input takes.
ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}quarantine_size_mb=32 \
    build-fuzz/sound_file_fuzzer "$corpus" -max_total_time="$seconds" -max_len=4096 \
    -timeout=1 -rss_limit_mb=256 -print_final_stats=1
