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
# KAVREL_SCREEN, when set, the screen's size in place of 680x400; KAVREL_SETTINGS, when set, a
# line written to kavrel.ini (say "width = 960" on a 1024x768 screen: a picture wider than it).
set -u
mode=${1:-}
program=$(realpath "${2:-}")
out=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/viewer.sh"
convert=/usr/bin/convert
viewer_require kavrel_tone Xvfb pulseaudio pactl pacat sox xdotool import "$convert"
viewer_start "$program" || exit 1
work=$VIEWER_WORK kavrel=$VIEWER_PID picture=$VIEWER_PICTURE

# The brightest row of a column near the newest one, as the middle of the run of its largest
# grey level (the grey scale saturates around a strong tone); prints "row level".
brightest() {
    "$convert" "$1" -crop "1x280+667+0" -depth 8 txt:- | awk -F'[,:() ]+' '
        NR > 1 { y = $2; v = $4; if (v > best) { best = v; first = y } if (v == best) last = y }
        END { printf "%.1f %d\n", (first + last) / 2, best }'
}
# Pure green pixels (the scales' marks and labels) in a rectangle WxH+X+Y.
greens() {
    "$convert" "$1" -crop "$2" -depth 8 txt:- | grep -c '#00FF00'
}

# Point k of 280 between 40 and 1200 Hz lies at row 279 - k: 440 Hz at row 182.8.
want=$(awk 'BEGIN { printf "%.2f", 279 - (440 - 40) * 279 / 1160 }')
shot="$work/picture.png"
found=
for i in $(seq 60); do
    sleep 0.5
    import -window "$picture" "$shot" 2>/dev/null || continue
    read -r row level < <(brightest "$shot")
    if [ "${level:-0}" -ge 200 ] && awk -v r="$row" -v w="$want" 'BEGIN { exit !(r - w <= 1 && w - r <= 1) }'; then
        found=1
        break
    fi
done
if [ -z "$found" ]; then
    echo "kavrel_tone: no bright line at 440 Hz (row $want); last brightest row ${row:-?} level ${level:-?}"
    cat "$work/said"
    exit 1
fi
echo "bright line at row $row (440 Hz is row $want), level $level"

case "$mode" in
check)
    frequency=$(greens "$shot" 70x280+0+0)
    time=$(greens "$shot" 600x50+70+280)
    echo "scale pixels: frequency $frequency, time $time"
    [ "$frequency" -gt 50 ] && [ "$time" -gt 50 ] || { echo "kavrel_tone: a scale is missing"; exit 1; }
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
    mkdir -p "$out" && import -window "$picture" "$out/picture.png" &&
        import -window "$(xdotool search --name '^Vespira 1.2$' | head -1)" "$out/control.png" &&
        echo "saved $out/picture.png and $out/control.png"
    ;;
*)
    echo "usage: $0 check|screenshot|windows KAVREL [OUT.png|DIR]" >&2
    exit 2
    ;;
esac
