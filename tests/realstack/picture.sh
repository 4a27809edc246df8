# The viewer's picture window as the X server shows it (source it; needs xdotool, ImageMagick):
#   picture_wait              waits up to 30 s for the picture window; sets PICTURE to its id
#   tone_shown HZ SECONDS     true once the newest column is brightest at HZ's row (within a row),
#                             looking every half second for at most SECONDS; leaves the last shot
#                             in PICTURE_SHOT and its brightest row and level in TONE_ROW, TONE_LEVEL
#   scales_drawn SHOT         true when both scales of a shot are drawn
convert=/usr/bin/convert
PICTURE_SHOT=$(mktemp --suffix=.png)

picture_wait() {
    local i
    for i in $(seq 300); do
        PICTURE=$(xdotool search --name '^Ornalux$' 2>/dev/null | head -1)
        [ -n "$PICTURE" ] && return 0
        sleep 0.1
    done
    return 1
}

# The brightest row of a column near the newest one, as the middle of the run of its largest
# grey level (the grey scale saturates around a strong tone); prints "row level".
brightest() {
    "$convert" "$1" -crop "1x280+667+0" -depth 8 txt:- | awk -F'[,:() ]+' '
        NR > 1 { y = $2; v = $4; if (v > best) { best = v; first = y } if (v == best) last = y }
        END { printf "%.1f %d\n", (first + last) / 2, best }'
}

tone_shown() {
    # Point k of 280 between 40 and 1200 Hz lies at row 279 - k.
    local want i
    want=$(awk -v f="$1" 'BEGIN { printf "%.2f", 279 - (f - 40) * 279 / 1160 }')
    for i in $(seq $(($2 * 2))); do
        sleep 0.5
        import -window "$PICTURE" "$PICTURE_SHOT" 2>/dev/null || continue
        read -r TONE_ROW TONE_LEVEL < <(brightest "$PICTURE_SHOT")
        [ "${TONE_LEVEL:-0}" -ge 200 ] &&
            awk -v r="$TONE_ROW" -v w="$want" 'BEGIN { exit !(r - w <= 1 && w - r <= 1) }' &&
            return 0
    done
    echo "no bright line at $1 Hz (row $want); last brightest row ${TONE_ROW:-?} level ${TONE_LEVEL:-?}"
    return 1
}

# Pure green pixels (the scales' marks and labels) in a rectangle WxH+X+Y.
greens() {
    "$convert" "$1" -crop "$2" -depth 8 txt:- | grep -c '#00FF00'
}

scales_drawn() {
    local frequency time
    frequency=$(greens "$1" 70x280+0+0)
    time=$(greens "$1" 600x50+70+280)
    echo "scale pixels: frequency $frequency, time $time"
    [ "$frequency" -gt 50 ] && [ "$time" -gt 50 ]
}
