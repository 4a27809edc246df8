#!/usr/bin/env bash
# Renders the message window and an empty picture window on the virtual backend into PNG
# files for review: build/review/message_window.png and build/review/picture_window.png.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target review_pngs
mkdir -p build/review
build/tests/review_pngs build/review
