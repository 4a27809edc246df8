#!/usr/bin/env bash
# Renders the message window, an empty picture window and a form with the controls on the
# virtual backend into PNG files for review (build/review/message_window.png,
# picture_window.png, controls.png), framed as the classic desktop shows them, and checks their
# content; it fails when a picture is not as it should be.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target review_pngs
mkdir -p build/review
build/tests/review_pngs build/review
