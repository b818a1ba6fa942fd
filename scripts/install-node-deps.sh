#!/usr/bin/env bash
# Installs the npm packages of tests/node (the independent RCON peer and schema validator)
# exactly as package-lock.json pins them. Idempotent and quiet: runs `npm ci` only when
# node_modules is missing or was installed from another package.json or package-lock.json.
set -euo pipefail
dir="$(cd "$(dirname "$0")/.." && pwd)/tests/node"
stamp="$dir/node_modules/.quorvane-installed"

if ! command -v npm >/dev/null 2>&1; then
    echo "install-node-deps.sh: npm is missing; scripts/install-deps.sh installs it" >&2
    exit 1
fi

wanted=$(cat "$dir/package.json" "$dir/package-lock.json" | sha256sum | cut -d' ' -f1)
[ -f "$stamp" ] && [ "$(cat "$stamp")" = "$wanted" ] && exit 0

(cd "$dir" && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
echo "$wanted" >"$stamp"
