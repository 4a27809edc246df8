#!/usr/bin/env bash
# Runs the Windows build's tests under Wine: builds kavrel.exe, zol.dll and the Windows tests
# (scripts/build-windows.sh), lets the Linux build write the engine's outputs on fixed blocks for
# the Windows engine to match bit for bit, and runs ctest in build-windows/ in a Wine prefix of
# its own (build-windows/wine, made on the first run; the real controls' tests make
# build-windows/wine-desktop under Xvfb), then builds the zip (scripts/package-windows.sh) and
# checks it (tests/windows/check_zip.sh). Skips, saying so, where MinGW-w64 or Wine cannot be
# installed; fails there instead with KAVREL_REQUIRE_WINDOWS=1 (as CI runs it). Among the tests is kavrel.exe itself under Wine on Xvfb hearing a 440 Hz tone
# (tests/windows/kavrel_wine.sh, with its own prefix build-windows/wine-viewer).
set -euo pipefail
cd "$(dirname "$0")/.."

if ! scripts/setup.sh g++-mingw-w64-x86-64-posix wine wine64 ||
    ! command -v x86_64-w64-mingw32-g++-posix >/dev/null || ! command -v wine >/dev/null; then
    echo "test-windows: skipped: MinGW-w64 or Wine cannot be installed on this machine"
    [ "${KAVREL_REQUIRE_WINDOWS:-0}" = 1 ] && exit 1
    exit 0
fi
scripts/build-windows.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKAVREL_WERROR=ON >/dev/null
cmake --build build --target zol_write_engine_outputs kavrel message_window_show
build/tests/windows/zol_write_engine_outputs build-windows/linux_engine_outputs.bin

# A console-only prefix: no display, no Mono or Gecko installers, no debug chatter.
export WINEPREFIX=$PWD/build-windows/wine WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "test-windows: making the Wine prefix $WINEPREFIX"
    wine wineboot --init 2>&1 | grep -v -e 'wine32 is missing' -e multiarch -e 'apt-get install' \
        -e syswow64 || true
    wineserver --wait
fi
# A test that hangs fails after five minutes, by name, instead of stalling the run.
ctest --test-dir build-windows --output-on-failure -j "$(nproc)" --timeout 300
# The zip a user unpacks: its files and resources, and kavrel.exe hearing a tone from a fresh
# folder (in the viewer test's Wine prefix).
scripts/package-windows.sh
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-windows-release/CMakeCache.txt)
tests/windows/check_zip.sh "build-windows-release/kavrel-$version-win64.zip" "$version" \
    build-windows/wine-viewer
# Both builds draw the scales, the message window and the control window alike, pixel for pixel
# (the layer draws its group box and radio buttons as Wine's user32 draws the real ones).
status=0
tests/windows/compare_builds.sh build build-windows/bin build-windows/compare frequency-scale \
    time-scale message-window control-window || status=$?
[ "$status" = 0 ] || [ "$status" = 77 ] || exit "$status"
