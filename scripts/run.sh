#!/usr/bin/env bash
# Installs what is missing, builds the engine library and the program, and runs the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build
if [ -x build/kavrel ]; then
    exec build/kavrel "$@"
fi
echo "Built the engine library build/libzol.so. The viewer kavrel is not part of this build yet."
