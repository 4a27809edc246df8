#!/usr/bin/env bash
# The engine library must export exactly its four functions and nothing else of its own.
set -euo pipefail
lib=$1
actual=$(nm -D --defined-only "$lib" | awk '{print $3}' | sort)
expected=$(printf '%s\n' ZOL_DLL_Init ZOL_DLL_ReadOutputArray ZOL_DLL_Run ZOL_DLL_WriteInputArray)
if [ "$actual" != "$expected" ]; then
    echo "exported symbols differ from the four exports:"
    diff <(echo "$expected") <(echo "$actual") || true
    exit 1
fi
echo "libzol exports exactly: $(echo $actual)"
