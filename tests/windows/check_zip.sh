#!/usr/bin/env bash
# The Windows zip as a user gets it: kavrel.exe, zol.dll and README.txt in one folder, no debug
# information, version resources on both files (the project's version and names), kavrel.exe's
# icon and its manifest (DPI aware, no themed common controls); then, unpacked into an empty
# folder, kavrel.exe hears a 440 Hz tone under Wine (tests/windows/kavrel_wine.sh, in the Wine
# prefix given).
#   check_zip.sh ZIP VERSION WINE_PREFIX
set -uo pipefail
zip=$(realpath "$1")
version=$2
prefix=$3
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "check_zip: $*"; exit 1; }

(cd "$work" && unzip -q "$zip") || fail "cannot unpack $zip"
folder=$work/kavrel-$version-win64
[ "$(cd "$work" && find . -type f | sort | tr '\n' ' ')" = \
    "./kavrel-$version-win64/README.txt ./kavrel-$version-win64/kavrel.exe ./kavrel-$version-win64/zol.dll " ] ||
    fail "the zip holds: $(cd "$work" && find . -type f)"

# A resource's bytes, with the UTF-16 strings of a version resource made readable.
resource() { wrestool -x --raw -t "$2" "$folder/$1" | tr -d '\000'; }
for file in kavrel.exe zol.dll; do
    x86_64-w64-mingw32-objdump -h "$folder/$file" | grep -q '\.debug' && fail "$file has debug information"
    info=$(resource "$file" 16)
    for want in "ProductVersion$version" "FileVersion$version" "OriginalFilename$file" \
        "ProductNamekavrel and zol" "CompanyNameThe kavrel and zol developers" \
        "LegalCopyrightCopyright (C) 2026 the kavrel and zol developers"; do
        grep -qF "$want" <<<"$info" || fail "$file's version resource lacks $want"
    done
done
wrestool -l -t 14 "$folder/kavrel.exe" | grep -q . || fail "kavrel.exe has no icon"
manifest=$(resource kavrel.exe 24)
grep -q '<dpiAware[^>]*>true</dpiAware>' <<<"$manifest" || fail "kavrel.exe is not DPI aware"
grep -qi 'Common-Controls' <<<"$manifest" && fail "kavrel.exe asks for the themed controls"

KAVREL_WINE_DESKTOP=$prefix "$here/kavrel_wine.sh" check "$folder/kavrel.exe"
