#!/usr/bin/env bash
# The viewer as it is delivered: it needs libzol.so, finds it beside itself ($ORIGIN, so the
# build folder and an installed copy both start), calls only the engine's four exports, and
# without a display says so in one line and ends with status 1 before making a window.
#   check_program.sh <kavrel> <libzol.so>
set -euo pipefail
program=$1
library=$2

readelf -d "$program" | grep -q 'NEEDED.*\[libzol.so\]' || { echo "kavrel does not need libzol.so"; exit 1; }
runpath=$(readelf -d "$program" | sed -n 's/.*R\(UN\)\?PATH.*\[\(.*\)\]/\2/p')
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
[ "$(grep -c 'kavrel: no display is available to show' "$copy/said")" = 1 ] ||
    { echo "the missing display was reported more than once"; exit 1; }
echo "kavrel needs libzol.so through \$ORIGIN, calls the four exports and, without a display, ends with status 1"
