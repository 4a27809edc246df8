#!/usr/bin/env bash
# Installs what is missing, builds the viewer and its engine library, and starts the viewer in
# the current directory (where it reads kavrel.ini). Arguments go to cmake's configure step.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$root/build" --target kavrel
exec "$root/build/kavrel"
