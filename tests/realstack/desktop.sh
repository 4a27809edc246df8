# A desktop of a test's own, for the real-stack tests (source it):
#   desktop_start WxH     Xvfb on a display number it chooses, exports DISPLAY and DESKTOP_XVFB_PID
#   stop_process PID      asks a process to end, kills it after a second, reaps it
#   process_ended PID T   true once PID (a child of this shell) has ended, waiting up to T tenths
#                         of a second; its status then in ENDED_STATUS
#   desktop_stop          stops the Xvfb started here
#   need_tools NAME TOOL… exits 77 (skipped), saying so for test NAME, where a tool is missing

need_tools() {
    local name=$1 tool
    shift
    for tool in "$@"; do
        command -v "$tool" >/dev/null || { echo "$name: $tool is not installed; skipped"; exit 77; }
    done
}

desktop_start() {
    local said n i
    # Xvfb chooses a free display itself and writes its number, so that tests running side by
    # side never start on, or stop, each other's display.
    said=$(mktemp)
    Xvfb -displayfd 3 -screen 0 "${1}x24" -nolisten tcp -noreset 3>"$said" >/dev/null 2>&1 &
    DESKTOP_XVFB_PID=$!
    for i in $(seq 100); do [ "$(wc -l <"$said")" -ge 1 ] && break; sleep 0.1; done
    n=$(head -n 1 "$said")
    rm -f "$said"
    if [ -z "$n" ]; then
        echo "desktop: Xvfb did not start" >&2
        return 1
    fi
    export DISPLAY=":$n"
    for i in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && return 0; sleep 0.1; done
    echo "desktop: Xvfb did not start" >&2
    return 1
}

# The viewer ends when its control window closes; a desktop without a window manager cannot
# close it, so it is stopped by its process id.
stop_process() {
    local i
    kill "$1" 2>/dev/null || return 0
    for i in $(seq 10); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$1" 2>/dev/null
    wait "$1" 2>/dev/null
}

process_ended() {
    local i
    for i in $(seq "$2"); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$1" 2>/dev/null && return 1
    wait "$1"
    ENDED_STATUS=$?
}

desktop_stop() {
    [ -n "${DESKTOP_XVFB_PID:-}" ] && stop_process "$DESKTOP_XVFB_PID"
    DESKTOP_XVFB_PID=
}
