#!/usr/bin/env bash
# check-cluster.sh [SECONDS]: runs the cluster demonstration as README.md shows it
# (scripts/cluster.sh, its own build included) for SECONDS (default 20), and fails unless its
# build printed no warning, every server of examples/config.json started a world event, and the
# webhook receiver took an announcement.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-20}
out=$(mktemp)
trap 'rm -f "$out"' EXIT

fail() {
    echo "check-cluster: $1; its output:" >&2
    cat "$out" >&2
    exit 1
}

"$root/scripts/cluster.sh" --run-for="$seconds" >"$out" 2>&1 || fail "cluster.sh failed"
# The build's lines are the ones the launcher did not mark with a server's name.
if grep -v ' | ' "$out" | grep -qi 'warning'; then
    fail "the build warned"
fi
servers=$(sed -n 's/^  "\([A-Za-z0-9_-]*\)": {$/\1/p' "$root/examples/config.json")
[ -n "$servers" ] || fail "no server sections found in examples/config.json"
for server in $servers; do
    grep -q "^$server *| .*World event starts: " "$out" || fail "$server started no world event"
done
grep -q '^discord *| Discord | ' "$out" || fail "the webhook receiver took no announcement"
echo "check-cluster: $(echo "$servers" | wc -w) servers started world events within $seconds s;" \
    "the build printed no warning"
