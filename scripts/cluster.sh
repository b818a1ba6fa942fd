#!/usr/bin/env bash
# Installs what is missing, builds the programs it runs (showing the build's progress), and
# starts a cluster on this machine: one game server stand-in per server of the example config
# (each with the plugin and its own RCON port) and a local Discord webhook receiver. Every
# plugin log line, every RCON command a server receives and every Discord announcement is
# printed, marked with its server.
#
#   scripts/cluster.sh [--run-for=SECONDS] [--config=FILE] [--webhook=URL] [--time-scale=N]
#
# Stops on Ctrl-C or after --run-for. --config runs your own cluster file (its RCON endpoints
# become local ports); --webhook posts to a real Discord webhook instead of the local one.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/install-deps.sh"
# Only what the cluster runs, in a build of its own made for speed (QUORVANE_QUICK_BUILD): the
# launcher starts the game stand-ins, which load the plugin (and the host library they link),
# the webhook receiver, and the RCON client the plugin runs.
echo "== Building the cluster's programs (about a minute the first time)"
"$root/scripts/build.sh" cluster -DQUORVANE_QUICK_BUILD=ON -DCMAKE_BUILD_TYPE= \
    --target=cluster-launcher --target=GameServer --target=Quorvane --target=webhook-receiver \
    --target=quorvane-rcon
exec "$root/build-cluster/bin/cluster-launcher" --config="$root/examples/config.json" \
    --work-dir="$root/build-cluster/cluster" "$@"
