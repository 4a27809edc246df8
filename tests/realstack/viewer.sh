# What the real-stack tests of the viewer with sound share (source it after setting "name" to the
# test's name): the helpers, the tools they need (exits 77, skipped, where one is missing), a work
# directory, and a clean-up on exit that stops the viewer (its process id in "kavrel"), the
# desktop and the server.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/pulse_tone.sh"
source "$here/desktop.sh"
source "$here/picture.sh"
need_tools "$name" Xvfb pulseaudio pactl pacat sox xdotool import "$convert"

work=$(mktemp -d)
kavrel=
finish() {
    [ -n "$kavrel" ] && stop_process "$kavrel"
    desktop_stop
    [ -n "${KAVREL_PULSE_PID:-}" ] && kill -CONT "$KAVREL_PULSE_PID" 2>/dev/null
    pulse_stop
    rm -rf "$work" "$PICTURE_SHOT"
}
trap finish EXIT
