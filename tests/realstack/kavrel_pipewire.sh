#!/usr/bin/env bash
# The viewer on PipeWire, the sound server of Debian 12's desktops: pipewire, wireplumber and
# pipewire-pulse of its own under a D-Bus session of its own, a null sink whose monitor is the
# default source playing 440 Hz, and the real kavrel on Xvfb. The tone shows; then the three
# services are stopped and started again and an 880 Hz tone played, which shows too.
# kavrel_pipewire.sh KAVREL; exits 77 (skipped) where PipeWire, Xvfb or a tool is missing.
set -u
program=$(realpath "${1:-}")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/desktop.sh"
need_tools kavrel_pipewire pipewire pw-cli wireplumber pipewire-pulse dbus-run-session Xvfb \
    pactl pacat sox xdotool import
[ -n "${KAVREL_PIPEWIRE_SESSION:-}" ] ||
    exec env KAVREL_PIPEWIRE_SESSION=1 dbus-run-session -- "$0" "$@"
source "$here/pulse_tone.sh"
source "$here/picture.sh"

work=$(mktemp -d)
export XDG_RUNTIME_DIR=$work
unset PULSE_SERVER
services= kavrel=
# The three services, a null sink "spk" and its monitor as the default source.
pipewire_start() {
    local i
    pipewire >>"$work/pipewire.log" 2>&1 &
    services=$!
    # The other two give up when PipeWire does not answer yet.
    for i in $(seq 100); do pw-cli info 0 >/dev/null 2>&1 && break; sleep 0.1; done
    wireplumber >>"$work/pipewire.log" 2>&1 &
    services+=" $!"
    pipewire-pulse >>"$work/pipewire.log" 2>&1 &
    services+=" $!"
    # pipewire-pulse answers before it can make a sink ("Not supported" until then).
    for i in $(seq 100); do pulse_sink_load 2>/dev/null && return 0; sleep 0.1; done
    return 1
}
pipewire_stop() {
    local pid
    for pid in ${PULSE_TONE_PID:-} $services; do stop_process "$pid"; done
    services=
}
finish() {
    [ -n "$kavrel" ] && stop_process "$kavrel"
    desktop_stop
    pipewire_stop
    rm -rf "$work" "$PICTURE_SHOT"
}
trap finish EXIT
fail() {
    echo "kavrel_pipewire: $*"
    cat "$work/said" "$work/pipewire.log" 2>/dev/null
    exit 1
}

desktop_start 680x400 || exit 1
pipewire_start || fail "PipeWire did not start"
pulse_tone 440
(cd "$work" && exec "$program") >"$work/said" 2>&1 &
kavrel=$!
picture_wait || fail "no picture window"
tone_shown 440 30 || fail "the tone did not show"
echo "440 Hz shown at row $TONE_ROW"

pipewire_stop
sleep 2 # the viewer finds its device gone and looks for it meanwhile
pipewire_start || fail "PipeWire did not start again"
pulse_tone 880
tone_shown 880 10 || fail "the tone after the restart did not show"
echo "880 Hz shown at row $TONE_ROW after the restart"
