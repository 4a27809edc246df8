#!/usr/bin/env bash
# The viewer gets its sound back on the real stack: Xvfb, a PulseAudio server of its own whose
# default source hears a 440 Hz tone, and the real kavrel.
#   kavrel_sound_back.sh restart KAVREL  the server killed, then started again: an 880 Hz tone
#                                        played after the restart shows within 5 s
#   kavrel_sound_back.sh unload KAVREL   the source's module unloaded, then loaded again: the same
#   kavrel_sound_back.sh stopped KAVREL  a stopped server (SIGSTOP) at start: both windows show
#                                        their scales within 9 s (start-up alone takes up to 5 s
#                                        on a loaded machine, and waiting for the server would
#                                        take 10 s); once the server goes on, the
#                                        440 Hz tone shows; stopped again, the picture goes on
#                                        and the tone comes back when the server does
# Exits 77 (skipped) where Xvfb or PulseAudio is not installed.
set -u
mode=${1:-}
program=$(realpath "${2:-}")
name=kavrel_sound_back
source "$(dirname "$0")/viewer.sh"
fail() {
    echo "$name: $*"
    cat "$work/said"
    exit 1
}

desktop_start 680x400 || exit 1
pulse_start || exit 1
pulse_tone 440
start_viewer() {
    started=$(date +%s.%N)
    (cd "$work" && exec "$program") >"$work/said" 2>&1 &
    kavrel=$!
    picture_wait || fail "no picture window"
}
since() {
    awk -v a="$1" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }'
}

case "$mode" in
restart | unload)
    start_viewer
    tone_shown 440 30 || fail "the tone before the $mode did not show"
    stop_process "$PULSE_TONE_PID"
    if [ "$mode" = restart ]; then
        kill -KILL "$KAVREL_PULSE_PID"
        wait "$KAVREL_PULSE_PID" 2>/dev/null
        sleep 2 # the viewer finds its device gone and looks for it meanwhile
        pulse_serve || fail "the server did not start again"
    else
        pactl unload-module module-null-sink
        sleep 2
        pulse_sink_load || fail "the sink did not load again"
    fi
    pulse_tone 880
    played=$(date +%s.%N)
    tone_shown 880 5 || fail "the tone after the $mode did not show within 5 s"
    echo "880 Hz shown $(since "$played") s after the tone started"
    ;;
stopped)
    kill -STOP "$KAVREL_PULSE_PID"
    start_viewer
    until import -window "$PICTURE" "$PICTURE_SHOT" 2>/dev/null && scales_drawn "$PICTURE_SHOT" >/dev/null &&
        xdotool search --name '^Vespira 1.2$' >/dev/null 2>&1; do
        [ "$(since "$started" | cut -d. -f1)" -lt 9 ] || fail "no windows with scales within 9 s"
        sleep 0.2
    done
    echo "both windows and the scales $(since "$started") s after start"
    kill -CONT "$KAVREL_PULSE_PID"
    tone_shown 440 15 || fail "the tone did not show once the server went on"
    # Stopped while capturing: the picture goes on (dark columns come in), and the tone comes
    # back once the server goes on.
    kill -STOP "$KAVREL_PULSE_PID"
    stopped=$(date +%s.%N)
    until import -window "$PICTURE" "$PICTURE_SHOT" 2>/dev/null &&
        [ "$(brightest "$PICTURE_SHOT" | cut -d' ' -f2)" -lt 50 ]; do
        [ "$(since "$stopped" | cut -d. -f1)" -lt 5 ] || fail "the picture stood still"
        sleep 0.2
    done
    kill -CONT "$KAVREL_PULSE_PID"
    tone_shown 440 15 || fail "the tone did not come back once the server went on"
    ;;
*)
    echo "usage: $0 restart|unload|stopped KAVREL" >&2
    exit 2
    ;;
esac
