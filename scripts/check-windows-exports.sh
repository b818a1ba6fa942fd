#!/usr/bin/env bash
# The shipped plugin DLL has DllMain as its entry and exports no function.
set -euo pipefail
dll="$1/server/ArkApi/Plugins/Quorvane/Quorvane.dll"
# The count under "Number in:" of the export directory, when there is one.
exports=$(x86_64-w64-mingw32-objdump -p "$dll" |
    awk '/Number in:/ && !done {getline; print $NF; done = 1}')
if [ -n "$exports" ] && [ $((16#$exports)) -ne 0 ]; then
    echo "Quorvane.dll exports functions ($exports entries)" >&2
    exit 1
fi
echo "Quorvane.dll: no exported function"
