#!/usr/bin/env bash
# The Windows viewer on the real stack: kavrel.exe under Wine on Xvfb, with a PulseAudio server
# of its own whose default source hears a 440 Hz tone, checked as the Linux viewer is
# (tests/realstack/kavrel_tone.sh, which it runs with Wine as the launcher):
#   kavrel_wine.sh check KAVREL.EXE               the bright line at 440 Hz and both scales
#   kavrel_wine.sh screenshot KAVREL.EXE OUT.png  the screen with both windows as a PNG
#   kavrel_wine.sh nodisplay KAVREL.EXE           without X the no-display line and status 1
# The Wine prefix is wine-viewer beside the program's folder (KAVREL_WINE_DESKTOP overrides it),
# made on the first run and reused. Exits 77 (skipped) where Wine or a tool of the Linux test is
# missing.
set -u
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine_desktop.sh"
for tool in wine wineserver flock; do
    command -v "$tool" >/dev/null || { echo "kavrel_wine: $tool is not installed; skipped"; exit 77; }
done
program=$(realpath "${2:-}")
wine_desktop_prefix "${KAVREL_WINE_DESKTOP:-$(dirname "$program")/../wine-viewer}" || exit 1
trap wine_desktop_stop EXIT
# Without a window manager Wine places each client area where a frame would put it; the screen
# holds both framed windows (676 x 355 and 313 x 83) apart, so neither hides part of the other.
if [ "${1:-}" = nodisplay ]; then
    # Wine grants a display object without X; the windows are refused.
    work=$(mktemp -d)
    status=0
    (cd "$work" && env -u DISPLAY -u WAYLAND_DISPLAY timeout 60 $WINE_DESKTOP_RUN "$program") \
        >"$work/said" 2>&1 || status=$?
    grep -q "^kavrel: no display" "$work/said" && [ "$status" = 1 ] && rm -rf "$work" &&
        { echo "without X kavrel.exe says there is no display and ends with status 1"; exit 0; }
    echo "kavrel_wine: without X kavrel.exe ended with status $status:"
    grep -a -v -e 'wine32 is missing' -e multiarch -e 'apt-get install' -e syswow64 "$work/said"
    rm -rf "$work"
    exit 1
fi
export KAVREL_SCREEN=${KAVREL_SCREEN:-676x438}
KAVREL_LAUNCHER=$WINE_DESKTOP_RUN "$here/../realstack/kavrel_tone.sh" "$@"
