#!/usr/bin/env bash
# A PulseAudio server of a test's own: a null sink "spk" whose monitor is the default capture
# source, and a sine tone played into the sink, so that capture from the default device hears
# the tone.
#
# As helpers:  source tests/realstack/pulse_tone.sh
#              pulse_start             server in a fresh XDG_RUNTIME_DIR, exports KAVREL_PULSE_PID
#              pulse_serve             server in the same directory again (after it ended)
#              pulse_sink_load         loads the sink again (after its module was unloaded)
#              pulse_tone [hz]         plays a sine (440 Hz) into the sink until pulse_stop
#              pulse_stop              stops the tone and the server by their process ids
# As a runner: tests/realstack/pulse_tone.sh run COMMAND [ARGS...]
#              runs COMMAND with the server and a 440 Hz tone, then stops both; exits 77
#              (skipped) where pulseaudio is not installed.
# The first captured data can come a second or two late and in bursts: wait for data, not for a
# fixed time.

# The null sink; its monitor is the default source.
pulse_sink=(module-null-sink sink_name=spk rate=44100 channels=2)

pulse_sink_load() {
    pactl load-module "${pulse_sink[@]}" >/dev/null && pactl set-default-source spk.monitor
}

pulse_start() {
    PULSE_RUNTIME_DIR=$(mktemp -d)
    export XDG_RUNTIME_DIR=$PULSE_RUNTIME_DIR
    unset PULSE_SERVER
    pulse_serve
}

pulse_serve() {
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --load=module-native-protocol-unix \
        --load="${pulse_sink[*]}" >"$PULSE_RUNTIME_DIR/log" 2>&1 &
    KAVREL_PULSE_PID=$!
    export KAVREL_PULSE_PID
    local i
    for i in $(seq 100); do
        if pactl info >/dev/null 2>&1; then
            pactl set-default-source spk.monitor
            return 0
        fi
        kill -0 "$KAVREL_PULSE_PID" 2>/dev/null || break
        sleep 0.1
    done
    echo "pulse_tone: the server did not start:" >&2
    cat "$PULSE_RUNTIME_DIR/log" >&2
    return 1
}

# pacat reads the tone from sox through a pipe; when pacat ends, sox ends on the broken pipe.
pulse_tone() {
    pacat --playback --raw --format=s16le --rate=44100 --channels=2 --device=spk \
        --latency-msec=20 < <(sox -q -n -t raw -r 44100 -c 2 -b 16 -e signed-integer - \
        synth sine "${1:-440}" vol 0.5) &
    PULSE_TONE_PID=$!
}

pulse_stop() {
    local pid
    for pid in ${PULSE_TONE_PID:-} ${KAVREL_PULSE_PID:-}; do
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    PULSE_TONE_PID= KAVREL_PULSE_PID=
    [ -n "${PULSE_RUNTIME_DIR:-}" ] && rm -rf "$PULSE_RUNTIME_DIR"
    PULSE_RUNTIME_DIR=
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    set -u
    if [ "${1:-}" != run ] || [ $# -lt 2 ]; then
        echo "usage: $0 run COMMAND [ARGS...]" >&2
        exit 2
    fi
    shift
    if ! command -v pulseaudio >/dev/null; then
        echo "pulse_tone: pulseaudio is not installed; skipped"
        exit 77
    fi
    trap pulse_stop EXIT
    pulse_start || exit 1
    pulse_tone 440
    "$@"
fi
