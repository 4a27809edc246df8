#!/usr/bin/env bash
# Installs what building, running and testing need on Debian 12. Quick when all is present:
# apt is only called for packages that are missing.
set -euo pipefail

packages=(cmake ninja-build g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev locales
    libfreetype-dev libfontconfig-dev fonts-dejavu-core fonts-wine libpng-dev libsdl2-dev xvfb xauth)
# kavrel-render reads sound files and converts their rate.
packages+=(libsndfile1-dev libsoxr-dev)
# The sound-capture tests' own PulseAudio server and its tone.
packages+=(pulseaudio pulseaudio-utils sox)
# kavrel-render over a folder of files, as its README shows.
packages+=(parallel)
# The viewer on PipeWire: its services of their own under a D-Bus session of their own.
packages+=(pipewire pipewire-bin pipewire-pulse wireplumber dbus-daemon)
# The desktop tests: Xlib, a window manager, and tools that drive and read the X server.
packages+=(libx11-dev openbox xdotool x11-utils imagemagick)
# A Wayland desktop without a screen (weston's headless backend) with XWayland beside it.
packages+=(weston xwayland)
# A D-Bus session for the viewer under test, as a desktop session has.
packages+=(dbus-daemon)
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    "${sudo_cmd[@]}" apt-get update -qq
    "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# A locale whose decimal separator is ',' (the program's users write numbers that way).
if ! locale -a 2>/dev/null | grep -qix 'ru_RU.utf8'; then
    "${sudo_cmd[@]}" localedef -i ru_RU -f UTF-8 ru_RU.UTF-8 || echo "setup: ru_RU.UTF-8 not generated"
fi
