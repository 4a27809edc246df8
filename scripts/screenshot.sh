#!/usr/bin/env bash
# Builds the viewer and takes the README's screenshot (docs/screenshot.png): the real program
# under Xvfb with a PulseAudio server of its own playing a 440 Hz tone into the default source.
# With --windows: kavrel.exe under Wine the same way (docs/screenshot-wine.png).
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" = --windows ]; then
    scripts/build-windows.sh
    exec tests/windows/kavrel_wine.sh screenshot build-windows/bin/kavrel.exe docs/screenshot-wine.png
fi
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target kavrel
tests/realstack/kavrel_tone.sh screenshot build/kavrel docs/screenshot.png
