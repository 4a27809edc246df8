#!/usr/bin/env bash
# The Debian package as a user meets it: scripts/package.sh builds it (lintian must report no
# errors), apt installs it with its dependencies, an unprivileged user renders the README's
# example with the installed kavrel-render and starts the installed kavrel under Xvfb hearing a
# 440 Hz tone (tests/realstack/kavrel_tone.sh) and showing the example's frequency scale with
# its Russian title, pixel for pixel, without writing beside itself; then the package is purged
# and nothing of it may be left. Needs root (as CI runs); skipped (77) otherwise and where a kavrel package is already
# installed, which it leaves alone.
#   check_deb.sh SOURCE
set -uo pipefail
src=$(realpath "$1")
[ "$(id -u)" = 0 ] || { echo "check_deb: needs root to install the package; skipped"; exit 77; }
if dpkg-query -W -f='${Status}' kavrel 2>/dev/null | grep -q installed; then
    echo "check_deb: a kavrel package is installed already; skipped"
    exit 77
fi
fail() { echo "check_deb: $*"; exit 1; }

work=$(mktemp -d)
chmod 755 "$work"
table=/usr/bin/Ansi1251.wcs
purge() { DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq kavrel >/dev/null 2>&1; }
trap 'purge; rm -rf "$work"' EXIT

"$src/scripts/package.sh" >"$work/package.log" 2>&1 ||
    { cat "$work/package.log"; fail "scripts/package.sh failed"; }
grep -E '^(package|[EWI]):' "$work/package.log"
deb=$(sed -n 's/^package: //p' "$work/package.log")

DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$src/$deb" >"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log"; fail "apt cannot install $deb"; }
dpkg -L kavrel | sort -r >"$work/files"

# The user's folder holds copies of the test's scripts: the source tree may be closed to them.
user=nobody
as_user() { runuser -u "$user" -- env HOME="$work/home" "$@"; }
mkdir "$work/home" "$work/scripts"
cp "$src"/tests/realstack/*.sh "$work/scripts/"
cp "$src/tools/example/phrase-and-chirp.wav" "$work/home/"
chown -R "$user" "$work/home"
(cd "$work/home" && as_user kavrel-render phrase-and-chirp.wav -o phrase-and-chirp.png) ||
    fail "kavrel-render failed for $user"
[ "$(compare -metric AE "$work/home/phrase-and-chirp.png" \
    "$src/tools/example/phrase-and-chirp.png" null: 2>&1)" = 0 ] ||
    fail "the installed kavrel-render drew another picture than the README's"
[ "$(as_user kavrel --version)" = "kavrel $(dpkg-query -W -f='${Version}' kavrel | sed 's/-[^-]*$//')" ] ||
    fail "kavrel --version"
# The user's X server needs the sockets' folder, which only root can make (as a root server would).
[ -d /tmp/.X11-unix ] || install -d -m 1777 /tmp/.X11-unix
(cd "$work/home" && as_user "$work/scripts/kavrel_tone.sh" windows "$(command -v kavrel)" shown) ||
    fail "the installed kavrel did not show the tone"
# Its frequency scale, Russian title included, as the example's.
band() { convert "$1" -crop 70x280+0+0 +repage "$2"; }
band "$work/home/shown/picture.png" "$work/viewer-scale.png" &&
    band "$src/tools/example/phrase-and-chirp.png" "$work/example-scale.png" &&
    [ "$(compare -metric AE "$work/viewer-scale.png" "$work/example-scale.png" null: 2>&1)" = 0 ] ||
    fail "the installed kavrel's frequency scale differs from the example's"

# The installed viewer keeps its code-page table in memory, also when root runs it (which
# makes the table before it looks for a display).
[ -e "$table" ] && fail "$user's viewer wrote its table file into /usr/bin"
(cd "$work" && env -u DISPLAY -u WAYLAND_DISPLAY kavrel >/dev/null 2>&1)
[ -e "$table" ] && rm -f "$table" && fail "root's viewer wrote its table file into /usr/bin"
purge || fail "apt cannot remove kavrel"
dpkg-query -W -f='${Status}' kavrel 2>/dev/null | grep -q installed && fail "kavrel is still installed"
left=$(while read -r path; do [ -e "$path" ] && [ ! -d "$path" ] && echo "$path"; done <"$work/files")
left+=$(while read -r path; do
    [ -d "$path" ] && [ -z "$(ls -A "$path")" ] && echo "$path"; done <"$work/files")
[ -z "$left" ] || fail "left behind: $left"
echo "installed, rendered and shown a tone as $user, and removed without a trace"
