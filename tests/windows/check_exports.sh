#!/usr/bin/env bash
# zol.dll must export exactly its four functions under their plain names, and import nothing but
# system libraries, so that it loads on a bare Windows.
set -euo pipefail
dll=$1
objdump=x86_64-w64-mingw32-objdump
headers=$("$objdump" -p "$dll")

# The name table lists one "[ordinal] name" line per export.
actual=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$headers" | awk '/^\t\[/ {print $3}' | sort)
expected=$(printf '%s\n' ZOL_DLL_Init ZOL_DLL_ReadOutputArray ZOL_DLL_Run ZOL_DLL_WriteInputArray)
if [ "$actual" != "$expected" ]; then
    echo "exported names differ from the four exports:"
    diff <(echo "$expected") <(echo "$actual") || true
    exit 1
fi

imports=$(awk '/DLL Name:/ {print $3}' <<<"$headers" | sort -u)
foreign=$(grep -viE '^(kernel32|msvcrt|user32|advapi32|ntdll)\.dll$|^api-ms-win-' <<<"$imports" || true)
if [ -n "$foreign" ]; then
    echo "zol.dll needs libraries a bare Windows lacks: $(echo $foreign)"
    exit 1
fi
echo "zol.dll exports exactly: $(echo $actual); imports: $(echo $imports)"
