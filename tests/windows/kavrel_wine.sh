#!/usr/bin/env bash
# The Windows viewer on the real stack: kavrel.exe under Wine on Xvfb, with a PulseAudio server
# of its own whose default source hears a 440 Hz tone, checked as the Linux viewer is
# (tests/realstack/kavrel_tone.sh, which it runs with Wine as the launcher):
#   kavrel_wine.sh check KAVREL.EXE               the bright line at 440 Hz and both scales
#   kavrel_wine.sh screenshot KAVREL.EXE OUT.png  the screen with both windows as a PNG
# The Wine prefix is wine-desktop beside the program's folder (KAVREL_WINE_DESKTOP overrides it),
# made on the first run and reused. Exits 77 (skipped) where Wine or a tool of the Linux test is
# missing.
set -u
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine_desktop.sh"
for tool in wine wineserver flock; do
    command -v "$tool" >/dev/null || { echo "kavrel_wine: $tool is not installed; skipped"; exit 77; }
done
program=$(realpath "${2:-}")
wine_desktop_prefix "${KAVREL_WINE_DESKTOP:-$(dirname "$program")/../wine-desktop}" || exit 1
trap wine_desktop_stop EXIT
KAVREL_LAUNCHER=$WINE_DESKTOP_RUN "$here/../realstack/kavrel_tone.sh" "$@"
