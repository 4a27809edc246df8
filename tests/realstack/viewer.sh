# The real viewer on a desktop and a sound server of its own (source it):
#   viewer_require NAME TOOL...  exits 77 (skipped), saying which, where a tool is missing
#   viewer_start PROGRAM         Xvfb (KAVREL_SCREEN, else 680x400: the picture at the top left,
#                                the control window below it at the bottom right), a PulseAudio
#                                server playing 440 Hz, and PROGRAM (KAVREL_LAUNCHER in front,
#                                KAVREL_SETTINGS as its kavrel.ini) in the empty folder
#                                $VIEWER_WORK, saying what it says into $VIEWER_WORK/said; sets
#                                VIEWER_PID and, once the picture window shows, VIEWER_PICTURE
#                                (fails after 30 s without it). Everything stops at exit.
viewer_here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$viewer_here/pulse_tone.sh"
source "$viewer_here/desktop.sh"

viewer_require() {
    local name=$1 tool
    shift
    for tool in "$@"; do
        command -v "$tool" >/dev/null || { echo "$name: $tool is not installed; skipped"; exit 77; }
    done
}

viewer_stop() {
    [ -n "${VIEWER_PID:-}" ] && stop_process "$VIEWER_PID"
    desktop_stop
    pulse_stop
    [ -n "${VIEWER_WORK:-}" ] && rm -rf "$VIEWER_WORK"
}

viewer_start() {
    local i
    VIEWER_WORK=$(mktemp -d)
    trap viewer_stop EXIT
    desktop_start "${KAVREL_SCREEN:-680x400}" || return 1
    pulse_start || return 1
    pulse_tone 440
    [ -n "${KAVREL_SETTINGS:-}" ] && printf '%s\r\n' "$KAVREL_SETTINGS" >"$VIEWER_WORK/kavrel.ini"
    (cd "$VIEWER_WORK" && exec ${KAVREL_LAUNCHER:-} "$1") >"$VIEWER_WORK/said" 2>&1 &
    VIEWER_PID=$!
    for i in $(seq 300); do
        VIEWER_PICTURE=$(xdotool search --name '^Ornalux$' 2>/dev/null | head -1)
        [ -n "$VIEWER_PICTURE" ] && return 0
        sleep 0.1
    done
    echo "viewer: no picture window"
    cat "$VIEWER_WORK/said"
    return 1
}
