#!/usr/bin/env bash
# The system message box on the real desktop (Xvfb) shows what the layer draws for its Russian
# lines, pixel for pixel, and Enter answers it.
#   message_box.sh MESSAGE_BOX_SHOW MESSAGE_BOX_PNG
# Exits 77 (skipped) where Xvfb or a tool is missing.
set -u
show=$(realpath "${1:-}")
drawn=$(realpath "${2:-}")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/desktop.sh"
need_tools message_box Xvfb xdotool import compare dbus-run-session
work=$(mktemp -d)
shown=
finish() {
    [ -n "$shown" ] && stop_process "$shown"
    desktop_stop
    rm -rf "$work"
}
trap finish EXIT

"$drawn" "$work/drawn.png" || { echo "message_box: the virtual desktop drew no box"; exit 1; }
desktop_start 640x400 || exit 1
# In a D-Bus session, as on a desktop (without one, libdbus leaks what it starts a bus with).
dbus-run-session -- "$show" >"$work/said" 2>&1 &
shown=$!
id=
for i in $(seq 100); do
    id=$(xdotool search --onlyvisible --class message_box_show 2>/dev/null | head -1)
    [ -n "$id" ] && break
    sleep 0.1
done
[ -n "$id" ] || { echo "message_box: no message box"; cat "$work/said"; exit 1; }
differing=
for i in $(seq 20); do # until it is painted
    sleep 0.2
    import -window "$id" "$work/shown.png" 2>/dev/null || continue
    differing=$(compare -metric AE "$work/drawn.png" "$work/shown.png" null: 2>&1)
    [ "$differing" = 0 ] && break
done
[ "$differing" = 0 ] || { echo "message_box: $differing pixels differ from the layer's drawing"; exit 1; }
xdotool key --window "$id" Return 2>/dev/null
for i in $(seq 30); do kill -0 "$shown" 2>/dev/null || break; sleep 0.1; done
kill -0 "$shown" 2>/dev/null && { echo "message_box: Enter did not answer the box"; exit 1; }
wait "$shown"
status=$?
shown=
[ "$status" = 0 ] || { echo "message_box: the box ended with status $status"; exit 1; }
echo "the box shows the layer's drawing of its Russian lines, and Enter answers it"
