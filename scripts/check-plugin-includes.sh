#!/usr/bin/env bash
# Checks the plugin's includes:
# - no logging or formatting library of its own: the real host framework brings its own (an
#   old spdlog with a bundled fmt) behind Logger/Logger.h, and a second copy breaks its
#   headers. The plugin reaches logging only through the framework;
# - no std::min, std::max or numeric_limits<T>::max called plainly: the framework's
#   <windows.h> makes min and max macros for MSVC; (std::max)(a, b) is immune;
# - layers that point one way: a folder includes only itself and the folders below it, in the
#   order platform, then base and rcon (the pure protocol), config, then map and notify (which
#   do not include each other), history, events, entry. So there is no loop between folders
#   either.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if found=$(grep -rnE '^\s*#\s*include\s*[<"](spdlog|fmt)/' "$root/plugin"); then
    echo "check-plugin-includes: the plugin must not include spdlog or fmt itself:" >&2
    echo "$found" | sed "s#^$root/##" >&2
    exit 1
fi
if found=$(grep -rnE '(numeric_limits<[^>]*>::|std::)(max|min)\s*\(' "$root/plugin"); then
    echo "check-plugin-includes: write (std::max)(a, b) and (std::numeric_limits<T>::max)():" >&2
    echo "$found" | sed "s#^$root/##" >&2
    exit 1
fi

rank() {
    case $1 in
        platform) echo 0 ;; base | rcon) echo 1 ;; config) echo 2 ;; map | notify) echo 3 ;;
        history) echo 4 ;; events) echo 5 ;; entry) echo 6 ;; *) echo -1 ;;
    esac
}
bad=""
while IFS=: read -r file _ include; do
    from=$(echo "$file" | sed -E "s#^$root/plugin/([^/]+)/.*#\1#")
    to=$(echo "$include" | sed -E 's#.*"([^/"]+)/.*#\1#')
    [ "$from" = "$to" ] && continue
    if [ "$(rank "$from")" -lt 0 ] || [ "$(rank "$to")" -lt 0 ] ||
        [ "$(rank "$to")" -ge "$(rank "$from")" ]; then
        bad+="${file#"$root"/}: $from includes $to"$'\n'
    fi
done < <(grep -rnE '^\s*#\s*include\s*"[^/"]+/' "$root/plugin" --include='*.h' --include='*.cpp')
if [ -n "$bad" ]; then
    echo "check-plugin-includes: an include against the plugin's layers:" >&2
    printf '%s' "$bad" >&2
    exit 1
fi
