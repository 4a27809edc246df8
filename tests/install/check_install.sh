#!/usr/bin/env bash
# `cmake --install` into an empty prefix: exactly the expected files, the engine with its SONAME,
# the programs finding it from their installed place, and other programs building against it
# through zol.h with pkg-config and with find_package(zol). A C program so built must read the
# same spectrum, bit for bit, as when built against the source tree and the build folder.
#   check_install.sh SOURCE BUILD VERSION
set -euo pipefail
src=$1
build=$2
version=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "check_install: $*"; exit 1; }

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
lib=lib/$(gcc -print-multiarch)
expected="bin/kavrel bin/kavrel-render include/zol.h $lib/cmake/zol/zolConfig.cmake
$lib/cmake/zol/zolConfigVersion.cmake $lib/cmake/zol/zolTargets-CONFIG.cmake
$lib/cmake/zol/zolTargets.cmake $lib/libzol.so $lib/libzol.so.1 $lib/libzol.so.$version
$lib/pkgconfig/zol.pc share/applications/kavrel.desktop share/doc/kavrel/README.md
share/icons/hicolor/scalable/apps/kavrel.svg share/man/man1/kavrel-render.1
share/man/man1/kavrel.1"
# The build type's targets file as CONFIG.
installed=$(cd "$prefix" && find . ! -type d | sed 's|^\./||; s|zolTargets-.*\.cmake|zolTargets-CONFIG.cmake|')
[ "$(sort <<<"$installed")" = "$(tr ' ' '\n' <<<"$expected" | sort)" ] ||
    fail "installed files differ from the expected ones:
$(diff <(sort <<<"$installed") <(tr ' ' '\n' <<<"$expected" | sort))"
[ "$(readlink "$prefix/$lib/libzol.so")" = libzol.so.1 ] &&
    [ "$(readlink "$prefix/$lib/libzol.so.1")" = "libzol.so.$version" ] || fail "library links"
readelf -d "$prefix/$lib/libzol.so.1" | grep -q 'SONAME.*\[libzol.so.1\]' || fail "SONAME"

# The installed programs find the installed engine, not the build folder's.
for program in kavrel kavrel-render; do
    found=$(env -u LD_LIBRARY_PATH ldd "$prefix/bin/$program" | awk '/libzol/ {print $3}')
    [ "$found" -ef "$prefix/$lib/libzol.so.1" ] || fail "$program loads libzol from '$found'"
done
[ "$("$prefix/bin/kavrel" --version)" = "kavrel $version" ] || fail "kavrel --version"
(cd "$work" && env -u LD_LIBRARY_PATH "$prefix/bin/kavrel-render" --quiet \
    "$src/tools/example/phrase-and-chirp.wav" -o example.png) || fail "kavrel-render"

client=$src/tests/install/zol_client.c
cflags=(-std=c99 -Wall -Wextra -pedantic -Werror)
cc "${cflags[@]}" "$client" -I"$src/include" -L"$build" -lzol -o "$work/reference"
LD_LIBRARY_PATH=$build "$work/reference" >"$work/reference.txt"
export PKG_CONFIG_PATH=$prefix/$lib/pkgconfig
# shellcheck disable=SC2046 # pkg-config's words
cc "${cflags[@]}" "$client" $(pkg-config --cflags --libs zol) -o "$work/pkgconfig"
LD_LIBRARY_PATH=$prefix/$lib "$work/pkgconfig" >"$work/pkgconfig.txt"
cmp "$work/reference.txt" "$work/pkgconfig.txt" || fail "pkg-config build reads another spectrum"

mkdir "$work/cmake"
printf '%s\n' 'cmake_minimum_required(VERSION 3.25)' 'project(client C)' \
    'find_package(zol 1 REQUIRED)' "add_executable(client $client)" \
    'target_link_libraries(client PRIVATE zol::zol)' >"$work/cmake/CMakeLists.txt"
cmake -S "$work/cmake" -B "$work/cmake/build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_C_FLAGS="${cflags[*]}" >/dev/null
cmake --build "$work/cmake/build" >/dev/null
"$work/cmake/build/client" >"$work/cmake.txt"
cmp "$work/reference.txt" "$work/cmake.txt" || fail "find_package build reads another spectrum"
echo "installed: $(wc -l <<<"$installed") files; zol.h, zol.pc and zol::zol give the build tree's spectrum"
