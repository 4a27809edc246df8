# A Wine prefix for programs with windows and sound, made once and reused (source it):
#   wine_desktop_prefix DIR   takes the prefix DIR for this run (waiting while another run holds
#                             it), makes it on first use and exports WINEPREFIX and the settings
#                             below
#   $WINE_DESKTOP_RUN         the command that runs Wine in the programs' locale
#   wine_desktop_stop         ends the prefix's Wine processes (its wineserver and the services
#                             it started); the next run may use another display
# The prefix draws DirectDraw through GDI (Wine's OpenGL renderer leaves the window black under
# Xvfb), has the raster and outline faces of fonts-wine in its Fonts folder (Debian's Wine does
# not look for them elsewhere) and runs its programs in the Russian locale, so that the ANSI code
# page is 1251. The locale is the programs' only: the caller's tools keep their own. Its colours
# are the classic desktop's, those the Linux build's windows have, in place of Wine's light theme,
# so that the two builds' windows can be compared pixel for pixel.

wine_desktop_env() {
    export WINEPREFIX=$1 WINEARCH=win64 WINEDEBUG=-all
    # No Mono or Gecko installers: the programs need neither.
    export WINEDLLOVERRIDES="mscoree,mshtml="
}

# Wine's start-up chatter about the missing 32-bit half, kept out of the test's output.
wine_quiet() {
    "$@" 2>&1 | grep -a -v -e 'wine32 is missing' -e multiarch -e 'apt-get install' -e syswow64
    return "${PIPESTATUS[0]}"
}

WINE_DESKTOP_RUN="env LC_ALL=ru_RU.UTF-8 wine"

# The classic scheme, as the platform layer's GetSysColor gives it.
wine_desktop_colours() {
    local reg=$WINEPREFIX/drive_c/classic-colours.reg
    cat >"$reg" <<'COLOURS'
REGEDIT4

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\ThemeManager]
"ThemeActive"="0"

[HKEY_CURRENT_USER\Control Panel\Colors]
"Scrollbar"="192 192 192"
"Background"="0 128 128"
"ActiveTitle"="0 0 128"
"InactiveTitle"="128 128 128"
"Menu"="192 192 192"
"Window"="255 255 255"
"WindowFrame"="0 0 0"
"MenuText"="0 0 0"
"WindowText"="0 0 0"
"TitleText"="255 255 255"
"ActiveBorder"="192 192 192"
"InactiveBorder"="192 192 192"
"AppWorkSpace"="128 128 128"
"Hilight"="0 0 128"
"HilightText"="255 255 255"
"ButtonFace"="192 192 192"
"ButtonShadow"="128 128 128"
"GrayText"="128 128 128"
"ButtonText"="0 0 0"
"InactiveTitleText"="192 192 192"
"ButtonHilight"="255 255 255"
"ButtonDkShadow"="0 0 0"
"ButtonLight"="223 223 223"
"InfoText"="0 0 0"
"InfoWindow"="255 255 225"
COLOURS
    wine_quiet $WINE_DESKTOP_RUN regedit /S 'C:\classic-colours.reg'
}

wine_desktop_make() {
    local fonts=/usr/share/wine/fonts
    [ -d "$fonts" ] || { echo "wine_desktop: $fonts is missing (fonts-wine)" >&2; return 1; }
    echo "wine_desktop: making the Wine prefix $WINEPREFIX"
    # Without a display, so that the first boot opens no window on the test's desktop.
    (unset DISPLAY WAYLAND_DISPLAY && wine_quiet $WINE_DESKTOP_RUN wineboot --init &&
        wine_quiet $WINE_DESKTOP_RUN reg add 'HKCU\Software\Wine\Direct3D' /v renderer /t REG_SZ \
            /d gdi /f >/dev/null && wine_desktop_colours) || return 1
    wineserver --wait
    cp "$fonts"/* "$WINEPREFIX/drive_c/windows/Fonts/" && touch "$WINEPREFIX/.kavrel-desktop"
}

wine_desktop_prefix() {
    mkdir -p "$(dirname "$1")" || return 1
    # One run at a time: Wine's desktop process belongs to the display of the run that started it.
    exec {WINE_DESKTOP_LOCK}>"$1.lock"
    flock "$WINE_DESKTOP_LOCK"
    wine_desktop_env "$(realpath -m "$1")"
    [ -f "$WINEPREFIX/.kavrel-desktop" ] && return 0
    rm -rf "$WINEPREFIX"
    wine_desktop_make
}

wine_desktop_stop() {
    [ -n "${WINEPREFIX:-}" ] && wineserver -k 2>/dev/null
    [ -n "${WINEPREFIX:-}" ] && wineserver -w 2>/dev/null
    [ -n "${WINE_DESKTOP_LOCK:-}" ] && exec {WINE_DESKTOP_LOCK}>&-
    WINE_DESKTOP_LOCK=
}
