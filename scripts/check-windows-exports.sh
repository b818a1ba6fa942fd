#!/usr/bin/env bash
# The shipped plugin DLL has DllMain as its entry and exports no function.
set -euo pipefail
dll="$1/server/ArkApi/Plugins/Quorvane/Quorvane.dll"
exports=$(x86_64-w64-mingw32-objdump -p "$dll" | awk '/Export Address Table/ {print $NF}')
if [ -n "$exports" ] && [ "$exports" != "00000000" ]; then
    echo "Quorvane.dll exports functions ($exports entries)" >&2
    exit 1
fi
echo "Quorvane.dll: no exported function"
