#!/usr/bin/env bash
# Builds the Debian package build-package/kavrel_<version>-1_<arch>.deb and checks it with
# lintian (which must report no errors): a Release build of the two programs and the engine
# (no tests), installed under /usr into a staging tree and stripped, the manual pages and the
# changelog compressed, the copyright file added, the dependencies read from the binaries by
# dpkg-shlibdeps. The version is the project's (CMakeLists.txt) with Debian revision 1.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh dpkg-dev lintian

dir=build-package
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DKAVREL_TESTS=OFF -DKAVREL_BENCH=OFF -DKAVREL_TABLE_FILE=OFF >/dev/null
cmake --build "$dir" --target kavrel kavrel-render
upstream=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$dir/CMakeCache.txt")
version=$upstream-1
arch=$(dpkg --print-architecture)
maintainer=$(sed -n 's/^Maintainer: //p' packaging/debian/control.in)

# dpkg-shlibdeps takes the folder above debian/ for the source package's.
staging=$dir/staging
root=$staging/debian/kavrel
rm -rf "$staging"
mkdir -p "$root/DEBIAN"
DESTDIR=$PWD/$root cmake --install "$dir" --strip >/dev/null
doc=$root/usr/share/doc/kavrel
gzip -9n "$root"/usr/share/man/man1/*.1
install -m 644 packaging/debian/copyright "$doc/copyright"
printf 'kavrel (%s) unstable; urgency=medium\n\n  * Built from the sources of %s.\n\n -- %s  %s\n' \
    "$version" "$(git rev-parse --short HEAD 2>/dev/null || echo "version $upstream")" \
    "$maintainer" "$(git log -1 --format=%aD 2>/dev/null || date -R)" >"$doc/changelog.Debian"
gzip -9n "$doc/changelog.Debian"

# The engine is a public library: its shlibs entry, and ldconfig's cache refreshed on install.
echo "libzol 1 kavrel (>= $upstream)" >"$root/DEBIAN/shlibs"
echo "activate-noawait ldconfig" >"$root/DEBIAN/triggers"
touch "$staging/debian/control"
depends=$(cd "$staging" && dpkg-shlibdeps -O -tdeb debian/kavrel/usr/bin/* \
    debian/kavrel/usr/lib/*/libzol.so.*.* | sed -n 's/^shlibs:Depends=//p' |
    tr ',' '\n' | sed 's/^ *//' | grep -v '^kavrel\b' | paste -sd, | sed 's/,/, /g')
sed -e "s/@VERSION@/$version/" -e "s/@ARCH@/$arch/" -e "s/@DEPENDS@/$depends/" \
    -e "s/@SIZE@/$(du -sk --exclude=DEBIAN "$root" | cut -f1)/" packaging/debian/control.in \
    >"$root/DEBIAN/control"
(cd "$root" && find usr -type f -print0 | sort -z | xargs -0 md5sum) >"$root/DEBIAN/md5sums"
chmod -R u=rwX,go=rX "$root"
chmod 644 "$root"/DEBIAN/{control,md5sums,shlibs,triggers}

deb=$dir/kavrel_${version}_$arch.deb
dpkg-deb --root-owner-group -Zxz --build "$root" "$deb" >/dev/null
echo "package: $deb"
lintian --fail-on error --info "$deb"
