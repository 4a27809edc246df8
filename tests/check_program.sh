#!/usr/bin/env bash
# The viewer as built: it needs libzol.so.1, finds it beside itself ($ORIGIN, so the build
# folder and a copy beside the library both start), calls only the engine's four exports, and
# without a display says so in one line and ends with status 1 before making a window.
#   check_program.sh <kavrel> <libzol.so.1>
set -euo pipefail
program=$1
library=$2

readelf -d "$program" | grep -q 'NEEDED.*\[libzol.so.1\]' || { echo "kavrel does not need libzol.so.1"; exit 1; }
# CMake pads the build folder's run path with colons, for the installed one to take its place.
runpath=$(readelf -d "$program" | sed -n 's/.*R\(UN\)\?PATH.*\[\(.*\)\]/\2/p' | sed 's/:*$//')
[ "$runpath" = '$ORIGIN' ] || { echo "kavrel's run path is '$runpath', not \$ORIGIN"; exit 1; }
calls=$(nm -D --undefined-only "$program" | awk '/ZOL_/ {print $2}' | sort | tr '\n' ' ')
[ "$calls" = "ZOL_DLL_Init ZOL_DLL_ReadOutputArray ZOL_DLL_Run ZOL_DLL_WriteInputArray " ] ||
    { echo "kavrel calls these engine functions: $calls"; exit 1; }

# A copy elsewhere, with the library beside it and nowhere else, starts and finds no display.
copy=$(mktemp -d)
trap 'rm -rf "$copy"' EXIT
cp "$program" "$library" "$copy/"
status=0
(cd "$copy" && env -u DISPLAY -u WAYLAND_DISPLAY LD_LIBRARY_PATH= ./kavrel) 2>"$copy/said" || status=$?
if [ "$status" != 1 ] || ! grep -qx 'kavrel: no display is available to show the viewer.s windows on' "$copy/said"; then
    echo "without a display the copy ended with status $status and said:"
    cat "$copy/said"
    exit 1
fi
[ "$(wc -l <"$copy/said")" = 1 ] ||
    { echo "the missing display took more than the one line:"; cat "$copy/said"; exit 1; }
echo "kavrel needs libzol.so.1 through \$ORIGIN, calls the four exports and, without a display, ends with status 1"
