#!/usr/bin/env bash
# The Linux and the Windows viewer compared pixel for pixel on their real stacks: the frequency
# scale band, the time scale band, the control window and the error message window.
#   compare_builds.sh LINUX_BUILD WINDOWS_BIN OUT_DIR [PART...]
# LINUX_BUILD holds kavrel and tests/windows/message_window_show, WINDOWS_BIN kavrel.exe and
# message_window_show.exe. Both builds run in the Russian locale (Wine needs it for code page 1251;
# both then write the decimal comma), Wine in its prefix of classic colours
# (tests/windows/wine_desktop.sh). OUT_DIR gets each part as linux-PART.png and wine-PART.png and
# their difference, PART-difference.png (differing pixels red over the Linux picture, pale). Prints
# the count of differing pixels per part; fails when a PART named (all four when none is named:
# frequency-scale, time-scale, control-window, message-window) differs. Exits 77 (skipped) where a
# tool is missing.
set -u
linux=$(realpath "${1:-}")
windows=$(realpath "${2:-}")
out=${3:-}
shift 3 2>/dev/null
must_match=" ${*:-frequency-scale time-scale control-window message-window} "
here=$(cd "$(dirname "$0")" && pwd)
realstack=$here/../realstack
source "$realstack/desktop.sh"
source "$here/wine_desktop.sh"
need_tools compare_builds Xvfb xdotool import compare convert wine wineserver flock
[ -n "$out" ] || { echo "usage: $0 LINUX_BUILD WINDOWS_BIN OUT_DIR" >&2; exit 2; }
mkdir -p "$out" || exit 1
work=$(mktemp -d)
shown=
finish() {
    [ -n "$shown" ] && stop_process "$shown"
    wine_desktop_stop
    desktop_stop
    rm -rf "$work"
}
trap finish EXIT

# The message window of LAUNCHER... PROGRAM as the X server shows it, saved as $1.
message_window() {
    local picture=$1 id i
    shift
    desktop_start 680x400 || return 1
    "$@" >"$work/said" 2>&1 &
    shown=$!
    for i in $(seq 300); do
        id=$(xdotool search --onlyvisible --class message_window_show 2>/dev/null | head -1)
        [ -n "$id" ] && break
        sleep 0.1
    done
    [ -n "$id" ] || { echo "compare_builds: no message window from $*"; cat "$work/said"; return 1; }
    sleep 1 # until it is painted
    import -window "$id" "$picture"
    stop_process "$shown"
    shown=
    desktop_stop
}

KAVREL_LAUNCHER="env LC_ALL=ru_RU.UTF-8" "$realstack/kavrel_tone.sh" windows "$linux/kavrel" \
    "$work/linux" || exit 1
"$here/kavrel_wine.sh" windows "$windows/kavrel.exe" "$work/wine" || exit 1
message_window "$work/linux/message.png" env LC_ALL=ru_RU.UTF-8 \
    "$linux/tests/windows/message_window_show" || exit 1
wine_desktop_prefix "$windows/../wine-viewer" || exit 1
message_window "$work/wine/message.png" $WINE_DESKTOP_RUN "$windows/message_window_show.exe" ||
    exit 1
wine_desktop_stop

# PART WINDOW CROP: the part CROP (WxH+X+Y, or whole) of both builds' WINDOW picture.
differing=0
part() {
    local build crop count
    for build in linux wine; do
        crop=()
        [ "$3" = whole ] || crop=(-crop "$3" +repage)
        convert "$work/$build/$2.png" "${crop[@]}" "$out/$build-$1.png" || return 1
    done
    count=$(compare -metric AE -lowlight-color '#FFFFFF40' "$out/linux-$1.png" "$out/wine-$1.png" \
        "$out/$1-difference.png" 2>&1)
    echo "$1: $(identify -format '%wx%h' "$out/linux-$1.png") Linux, $(identify -format '%wx%h' \
        "$out/wine-$1.png") Wine, $count pixels differ"
    [ "$count" = 0 ] || [[ "$must_match" != *" $1 "* ]] || differing=1
}
part frequency-scale picture 70x280+0+0
part time-scale picture 670x50+0+280
part control-window control whole
part message-window message whole
exit $differing
