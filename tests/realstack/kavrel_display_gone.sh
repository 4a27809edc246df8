#!/usr/bin/env bash
# The viewer when its X server goes away under it (killed, the session ended): it says so and
# ends with status 1 within seconds, instead of hanging in the X library or crashing.
#   kavrel_display_gone.sh KAVREL; exits 77 (skipped) where Xvfb is missing.
set -u
program=$(realpath "${1:-}")
source "$(dirname "$0")/desktop.sh"
need_tools kavrel_display_gone Xvfb xdotool
work=$(mktemp -d)
kavrel=
finish() {
    [ -n "$kavrel" ] && kill -KILL "$kavrel" 2>/dev/null
    desktop_stop
    rm -rf "$work"
}
trap finish EXIT

desktop_start 680x400 || exit 1
(cd "$work" && XDG_RUNTIME_DIR=$work exec "$program") >"$work/said" 2>&1 &
kavrel=$!
for i in $(seq 100); do xdotool search --name '^Ornalux$' >/dev/null 2>&1 && break; sleep 0.1; done
sleep 1
kill -KILL "$DESKTOP_XVFB_PID"
wait "$DESKTOP_XVFB_PID" 2>/dev/null
DESKTOP_XVFB_PID=
process_ended "$kavrel" 50 ||
    { echo "kavrel_display_gone: kavrel still runs 5 s after its display went away"; exit 1; }
status=$ENDED_STATUS
kavrel=
cat "$work/said"
[ "$status" = 1 ] || { echo "kavrel_display_gone: status $status, not 1"; exit 1; }
grep -q 'display.*lost' "$work/said" || { echo "kavrel_display_gone: nothing said"; exit 1; }
echo "the display went away: kavrel said so and ended with status 1"
