#!/usr/bin/env bash
# The viewer on a Wayland desktop: weston's headless backend with XWayland, SDL_VIDEODRIVER=wayland
# in the environment as a Wayland session may set it. With DISPLAY set (XWayland) the viewer shows
# its windows through X11; with Wayland alone it runs there or ends with the no-display line and
# status 1, never a crash. kavrel_wayland.sh KAVREL; exits 77 (skipped) where weston, Xwayland or
# xdotool is missing.
set -u
program=$(realpath "${1:-}")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/desktop.sh"
need_tools kavrel_wayland weston Xwayland xdotool
work=$(mktemp -d)
runtime=$(mktemp -d)
chmod 700 "$runtime"
weston= kavrel=
finish() {
    [ -n "$kavrel" ] && stop_process "$kavrel"
    [ -n "$weston" ] && stop_process "$weston"
    rm -rf "$work" "$runtime"
}
trap finish EXIT

export XDG_RUNTIME_DIR=$runtime
unset DISPLAY WAYLAND_DISPLAY
weston --backend=headless-backend.so --xwayland --socket=kavrel-wayland --idle-time=0 \
    --log="$work/weston.log" >/dev/null 2>&1 &
weston=$!
x11=
for i in $(seq 100); do
    x11=$(sed -n 's/.*listening on display \(:[0-9]*\).*/\1/p' "$work/weston.log" 2>/dev/null | head -1)
    [ -S "$runtime/kavrel-wayland" ] && [ -n "$x11" ] && break
    sleep 0.1
done
[ -n "$x11" ] || { echo "kavrel_wayland: weston started no XWayland"; cat "$work/weston.log"; exit 1; }
export WAYLAND_DISPLAY=kavrel-wayland SDL_VIDEODRIVER=wayland

# XWayland: the windows come through X11.
(cd "$work" && DISPLAY=$x11 exec "$program") >"$work/said" 2>&1 &
kavrel=$!
shown=
for i in $(seq 150); do
    DISPLAY=$x11 xdotool search --name '^Ornalux$' >/dev/null 2>&1 && shown=1 && break
    kill -0 "$kavrel" 2>/dev/null || break
    sleep 0.1
done
[ -n "$shown" ] || { echo "kavrel_wayland: no picture window on XWayland"; cat "$work/said"; exit 1; }
stop_process "$kavrel"
kavrel=
echo "with DISPLAY and SDL_VIDEODRIVER=wayland the windows come through XWayland"

# Wayland alone: it runs, or says there is no display; a crash fails.
(cd "$work" && exec "$program") >"$work/said" 2>&1 &
kavrel=$!
if ! process_ended "$kavrel" 150; then
    echo "with Wayland alone the viewer runs"
    exit 0
fi
status=$ENDED_STATUS
kavrel=
if [ "$status" != 1 ] || ! grep -q 'no display' "$work/said"; then
    echo "kavrel_wayland: with Wayland alone kavrel ended with status $status:"
    cat "$work/said"
    exit 1
fi
echo "with Wayland alone the viewer says there is no display and ends with status 1"
