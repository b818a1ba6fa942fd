#!/usr/bin/env bash
# The shipped plugin DLL has DllMain as its entry and exports exactly two functions, which the
# framework calls outside the loader lock: Plugin_Init after it has loaded the library, and
# Plugin_Unload before it frees it.
set -euo pipefail
dll="$1/server/ArkApi/Plugins/Quorvane/Quorvane.dll"
# The names listed under "[Ordinal/Name Pointer] Table" of the export directory.
exports=$(x86_64-w64-mingw32-objdump -p "$dll" |
    awk '/\[Ordinal\/Name Pointer\] Table/ {table = 1; next} table && NF == 0 {table = 0}
         table {print $NF}' | sort | tr '\n' ' ')
if [ "$exports" != "Plugin_Init Plugin_Unload " ]; then
    echo "Quorvane.dll exports: ${exports:-nothing}; expected Plugin_Init and Plugin_Unload" >&2
    exit 1
fi
echo "Quorvane.dll: exports Plugin_Init and Plugin_Unload"
