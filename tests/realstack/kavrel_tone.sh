#!/usr/bin/env bash
# The viewer on the real stack: Xvfb, a PulseAudio server of its own whose default source hears
# a 440 Hz tone, and the real kavrel started in an empty directory. Waits until the picture shows
# the tone (the first capture data can come late), then
#   kavrel_tone.sh check KAVREL              checks that the bright line lies at 440 Hz (within a
#                                            row) and that both scales are drawn
#   kavrel_tone.sh screenshot KAVREL OUT.png saves the screen with both windows as a PNG
#   kavrel_tone.sh windows KAVREL DIR        saves each window's client area as DIR/picture.png
#                                            and DIR/control.png
# Exits 77 (skipped) where Xvfb or PulseAudio is not installed. KAVREL_LAUNCHER, when set, is the
# command that starts the program (Wine for the Windows viewer, tests/windows/kavrel_wine.sh);
# KAVREL_SCREEN, when set, the screen's size in place of 680x400; KAVREL_SETTINGS, when set, the
# viewer's kavrel.ini.
set -u
mode=${1:-}
program=$(realpath "${2:-}")
out=${3:-}
name=kavrel_tone
source "$(dirname "$0")/viewer.sh"

# A screen just large enough for both windows: the picture at the top left, the control window
# below it at the bottom right.
desktop_start "${KAVREL_SCREEN:-680x400}" || exit 1
pulse_start || exit 1
pulse_tone 440

[ -n "${KAVREL_SETTINGS:-}" ] && printf '%s\r\n' "$KAVREL_SETTINGS" >"$work/kavrel.ini"
(cd "$work" && exec ${KAVREL_LAUNCHER:-} "$program") >"$work/said" 2>&1 &
kavrel=$!
picture_wait || { echo "kavrel_tone: no picture window"; cat "$work/said"; exit 1; }
if ! tone_shown 440 30; then
    cat "$work/said"
    exit 1
fi
echo "bright line at row $TONE_ROW, level $TONE_LEVEL"

case "$mode" in
check)
    scales_drawn "$PICTURE_SHOT" || { echo "kavrel_tone: a scale is missing"; exit 1; }
    # A plain SIGTERM ends the viewer, as it ends any program.
    kill "$kavrel"
    for i in $(seq 30); do kill -0 "$kavrel" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$kavrel" 2>/dev/null; then echo "kavrel_tone: SIGTERM did not end kavrel"; exit 1; fi
    ;;
screenshot)
    sleep 8 # let the line run across most of the picture
    import -window root "$out" && echo "saved $out"
    ;;
windows)
    mkdir -p "$out" && import -window "$PICTURE" "$out/picture.png" &&
        import -window "$(xdotool search --name '^Vespira 1.2$' | head -1)" "$out/control.png" &&
        echo "saved $out/picture.png and $out/control.png"
    ;;
*)
    echo "usage: $0 check|screenshot|windows KAVREL [OUT.png|DIR]" >&2
    exit 2
    ;;
esac
