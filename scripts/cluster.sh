#!/usr/bin/env bash
# Builds Quorvane and starts the game server stand-in with the plugin installed on the
# example cluster config (server key Island). Stops on Ctrl-C or after --run-for seconds.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
run_for=""
config="$root/examples/config.json"
while [ $# -gt 0 ]; do
    case "$1" in
        --run-for=*) run_for="${1#*=}" ;;
        --config=*) config="${1#*=}" ;;
        *) echo "usage: $0 [--run-for=SECONDS] [--config=FILE]" >&2; exit 2 ;;
    esac
    shift
done

"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" main -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

server="$root/build/cluster/Island"
plugin="$server/ArkApi/Plugins/Quorvane"
mkdir -p "$plugin" "$server/ArkApi/Logs"
ln -sf "$root/build/server/ArkApi/Plugins/Quorvane/Quorvane.so" "$plugin/Quorvane.so"
cp "$root/build/server/ArkApi/Plugins/Quorvane/PluginInfo.json" "$plugin/"
cp "$config" "$plugin/config.json"

cd "$server"
exec "$root/build/bin/GameServer" "TheIsland_WP?listen" -serverkey=Island \
    ${run_for:+--run-for=$run_for}
