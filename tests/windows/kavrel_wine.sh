#!/usr/bin/env bash
# The Windows viewer on the real stack: kavrel.exe under Wine on Xvfb, with a PulseAudio server
# of its own whose default source hears a 440 Hz tone, checked as the Linux viewer is
# (tests/realstack/kavrel_tone.sh, which it runs with Wine as the launcher):
#   kavrel_wine.sh check KAVREL.EXE               the bright line at 440 Hz and both scales
#   kavrel_wine.sh screenshot KAVREL.EXE OUT.png  the screen with both windows as a PNG
#   kavrel_wine.sh nodisplay KAVREL.EXE           without X the no-display line and status 1
#   kavrel_wine.sh messages KAVREL.EXE PROGRAM_BOXES.EXE
#                                                 with a bad kavrel.ini and no sound device:
#                                                 started as from Explorer, one box holding the
#                                                 complaints and the no-device line; with standard
#                                                 error in a file, the lines there and no box
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
if [ "${1:-}" = messages ]; then
    source "$here/../realstack/desktop.sh"
    work=$(mktemp -d)
    trap 'wine_desktop_stop; desktop_stop; rm -rf "$work"' EXIT
    desktop_start 680x400 || exit 1
    boxes=$(realpath "${3:-}")
    printf 'Fmin=abc\r\nwidth=5000\r\nfmax=1\r\n' >"$work/kavrel.ini"
    # No sound server to be found, so no capture device.
    export PULSE_SERVER=unix:$work/no-server
    said=("kavrel.ini: Fmin = abc is not a number" "kavrel.ini: width = 5000 is outside"
        'kavrel.ini: the key "fmax" is not known' "kavrel: no sound capture device was found")
    failed=0
    (cd "$work" && timeout 120 $WINE_DESKTOP_RUN "$boxes" detached 12 "$(winepath -w "$program")") \
        2>/dev/null | tr -d '\r' >"$work/detached"
    grep -qx 'boxes: 1' "$work/detached" && grep -qx 'box: control window up' "$work/detached" &&
        [ "$(grep -c '^kavrel' "$work/detached")" = 4 ] || failed=1
    for line in "${said[@]}"; do grep -qF "$line" "$work/detached" || failed=1; done
    (cd "$work" && timeout 120 $WINE_DESKTOP_RUN "$boxes" inherited 8 "$(winepath -w "$program")") \
        2>"$work/errors" | tr -d '\r' >"$work/inherited"
    grep -qx 'boxes: 0' "$work/inherited" || failed=1
    for line in "${said[@]}"; do grep -qF "$line" "$work/errors" || failed=1; done
    if [ "$failed" = 0 ]; then
        echo "started as from Explorer kavrel.exe showed its four start-up lines in one box;"
        echo "with standard error in a file it wrote them there and showed no box"
        exit 0
    fi
    echo "kavrel_wine: started without a console:"
    cat "$work/detached"
    echo "kavrel_wine: with standard error in a file (then the file):"
    cat "$work/inherited"
    wine_quiet cat "$work/errors"
    exit 1
fi
export KAVREL_SCREEN=${KAVREL_SCREEN:-676x438}
KAVREL_LAUNCHER=$WINE_DESKTOP_RUN "$here/../realstack/kavrel_tone.sh" "$@"
