#!/usr/bin/env bash
# Fails when a plugin source includes a logging or formatting library of its own: the real host
# framework brings its own (an old spdlog with a bundled fmt) behind Logger/Logger.h, and a
# second copy breaks its headers. The plugin reaches logging only through the framework.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if found=$(grep -rnE '^\s*#\s*include\s*[<"](spdlog|fmt)/' "$root/plugin"); then
    echo "check-plugin-includes: the plugin must not include spdlog or fmt itself:" >&2
    echo "$found" | sed "s#^$root/##" >&2
    exit 1
fi
