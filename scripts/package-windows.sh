#!/usr/bin/env bash
# Builds the Windows zip build-windows-release/kavrel-<version>-win64.zip: a Release cross-build
# of kavrel.exe and zol.dll alone (no tests), stripped of debug information, with README.txt
# (how to start it, kavrel.ini's keys, where messages go) in a folder kavrel-<version>-win64.
# The version is the project's (CMakeLists.txt).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64 \
    librsvg2-bin icoutils zip

dir=build-windows-release
toolchain=()
[ -f "$dir/CMakeCache.txt" ] || toolchain=(-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake)
cmake -S . -B "$dir" -G Ninja "${toolchain[@]}" -DCMAKE_BUILD_TYPE=Release -DKAVREL_TESTS=OFF \
    >/dev/null
cmake --build "$dir" --target kavrel
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$dir/CMakeCache.txt")

name=kavrel-$version-win64
stage=$dir/zip
rm -rf "$stage" "$dir/$name.zip"
mkdir -p "$stage/$name"
for file in kavrel.exe zol.dll; do
    x86_64-w64-mingw32-strip --strip-debug -o "$stage/$name/$file" "$dir/bin/$file"
done
# Windows' own line endings in the text file.
sed -e "s/@PROJECT_VERSION@/$version/" -e 's/$/\r/' packaging/windows/README.txt.in \
    >"$stage/$name/README.txt"
(cd "$stage" && zip -q -X -r "../$name.zip" "$name")
echo "zip: $dir/$name.zip"
