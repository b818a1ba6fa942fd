#!/usr/bin/env bash
# build.sh NAME [cmake options...]: configures and builds the tree build-NAME (or build for
# NAME=main) from the repository root.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
name=$1
shift
dir="$root/build"
[ "$name" != main ] && dir="$root/build-$name"
cmake -S "$root" -B "$dir" -G Ninja "$@" >/dev/null
cmake --build "$dir"
