#!/usr/bin/env bash
# Cross-builds the Windows program build-windows/bin/kavrel.exe, the engine library beside it
# (zol.dll) and the Windows tests with MinGW-w64 (installing the cross compiler when missing).
# The tests run under Wine through scripts/test-windows.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

# rsvg-convert and icotool draw kavrel.exe's icon from packaging/kavrel.svg.
scripts/setup.sh g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64 \
    googletest librsvg2-bin icoutils
# The toolchain is read when the build folder is made; later runs keep it.
toolchain=()
[ -f build-windows/CMakeCache.txt ] || toolchain=(-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake)
cmake -S . -B build-windows -G Ninja "${toolchain[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKAVREL_WERROR=ON >/dev/null
cmake --build build-windows
echo "build-windows: $(ls build-windows/bin/kavrel.exe build-windows/bin/zol.dll | tr '\n' ' ')"
