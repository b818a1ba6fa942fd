#!/usr/bin/env bash
# The shipped plugin DLL has DllMain as its entry and exports exactly one function,
# Plugin_Unload, which the framework calls before it frees the library.
set -euo pipefail
dll="$1/server/ArkApi/Plugins/Quorvane/Quorvane.dll"
# The names listed under "[Ordinal/Name Pointer] Table" of the export directory.
exports=$(x86_64-w64-mingw32-objdump -p "$dll" |
    awk '/\[Ordinal\/Name Pointer\] Table/ {table = 1; next} table && NF == 0 {table = 0}
         table {print $NF}' | sort | tr '\n' ' ')
if [ "$exports" != "Plugin_Unload " ]; then
    echo "Quorvane.dll exports: ${exports:-nothing}; expected Plugin_Unload alone" >&2
    exit 1
fi
echo "Quorvane.dll: exports Plugin_Unload alone"
