#!/usr/bin/env bash
# The viewer's windows under a window manager that frames them (openbox on Xvfb): the control
# window's frame in the bottom-right corner of the work area, the picture window's frame in its
# top-left corner; both frames fixed (the window manager is told, and allows, no resizing or
# maximising); a click on the control window's close button ends the viewer with status 0 and,
# in the sanitizer build, no leak report. kavrel_frames.sh KAVREL; exits 77 (skipped) where Xvfb or openbox is missing.
set -u
program=$(realpath "${1:-}")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/desktop.sh"
need_tools kavrel_frames Xvfb openbox xdotool xwininfo xprop dbus-run-session
work=$(mktemp -d)
manager= kavrel=
finish() {
    [ -n "$kavrel" ] && stop_process "$kavrel"
    [ -n "$manager" ] && stop_process "$manager"
    desktop_stop
    rm -rf "$work"
}
trap finish EXIT

desktop_start 1024x768 || exit 1
openbox >"$work/openbox.log" 2>&1 &
manager=$!
for i in $(seq 50); do xprop -root _NET_WORKAREA 2>/dev/null | grep -q = && break; sleep 0.1; done
read -r wl wt ww wh < <(xprop -root _NET_WORKAREA 2>/dev/null | sed -n 's/.*= //p' | tr -d , |
    awk '{print $1, $2, $3, $4}')
[[ "${wl:-}${wt:-}${ww:-}${wh:-}" =~ ^[0-9]+$ ]] ||
    { echo "kavrel_frames: openbox published no work area"; exit 1; }

# In a D-Bus session, as on any desktop: without one libdbus starts a bus through X11 for SDL and
# leaks a kilobyte doing so, which the sanitizer build would report at the close.
(cd "$work" && exec dbus-run-session -- "$program") >"$work/said" 2>&1 &
kavrel=$!

# A window's frame as "left top right bottom", once the window manager has framed it.
frame() {
    local id x y w h fl fr ft fb
    id=$(xdotool search --name "^$1\$" 2>/dev/null | head -1)
    [ -n "$id" ] || return 1
    read -r fl fr ft fb < <(xprop -id "$id" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.*= //p' | tr -d ,)
    [ -n "${fb:-}" ] || return 1
    read -r x y w h < <(xwininfo -id "$id" | awk -F: '/Absolute upper-left X/ {x = $2}
        /Absolute upper-left Y/ {y = $2} /Width/ {w = $2} /Height/ {h = $2}
        END {print x + 0, y + 0, w + 0, h + 0}')
    echo "$((x - fl)) $((y - ft)) $((x + w + fr)) $((y + h + fb))"
}
control= picture=
for i in $(seq 100); do
    control=$(frame 'Vespira 1.2') && picture=$(frame Ornalux) && break
    sleep 0.1
done
sleep 0.5 # let the placement settle, then read again
control=$(frame 'Vespira 1.2')
picture=$(frame Ornalux)
echo "work area $wl $wt $((wl + ww)) $((wt + wh)); control frame $control; picture frame $picture"
read -r cl ct cr cb <<<"$control"
read -r pl pt pr pb <<<"$picture"
[ "$cr" = $((wl + ww)) ] && [ "$cb" = $((wt + wh)) ] || { echo "control window not in the bottom-right corner"; exit 1; }
[ "$pl" = "$wl" ] && [ "$pt" = "$wt" ] || { echo "picture window not in the top-left corner"; exit 1; }
echo "both frames sit in their corners of the work area"

# The Motif hints name the functions a frame offers: moving, minimising and closing only.
for name in 'Vespira 1.2' Ornalux; do
    read -r flags functions < <(xprop -id "$(xdotool search --name "^$name\$" | head -1)" \
        _MOTIF_WM_HINTS | sed -n 's/.*= //p' | tr -d , | awk '{print $1, $2}')
    (( ${flags:-0} & 1 )) && ! (( ${functions:-0} & (1 | 2 | 16) )) ||
        { echo "$name: the window manager may resize or maximise it (hints $flags $functions)"; exit 1; }
done
# What the window manager took from them (WM_NORMAL_HINTS' equal least and largest sizes among
# them): no resizing, no maximising. (openbox 3.6 still draws an inert maximise button beside a
# minimise button: its title layout shows a button when any button between it and the title is
# shown.)
for name in 'Vespira 1.2' Ornalux; do
    actions=$(xprop -id "$(xdotool search --name "^$name\$" | head -1)" _NET_WM_ALLOWED_ACTIONS)
    [[ "$actions" == *_NET_WM_ACTION_MOVE* ]] || { echo "$name: no allowed actions: $actions"; exit 1; }
    [[ "$actions" =~ _NET_WM_ACTION_(MAXIMIZE|RESIZE) ]] &&
        { echo "$name: the window manager allows $actions"; exit 1; }
done
echo "both frames offer no resizing and no maximising"

# The close button sits at the right end of the title bar of openbox's theme.
xdotool mousemove $((cr - 11)) $((ct + 10)) click 1
for i in $(seq 50); do kill -0 "$kavrel" 2>/dev/null || break; sleep 0.1; done
kill -0 "$kavrel" 2>/dev/null && { echo "the close button did not end kavrel"; exit 1; }
wait "$kavrel"
status=$?
kavrel=
[ "$status" = 0 ] || { echo "closed, kavrel ended with status $status:"; cat "$work/said"; exit 1; }
grep -q Sanitizer "$work/said" && { echo "closed, kavrel reported:"; cat "$work/said"; exit 1; }
echo "the close button ends kavrel with status 0"
