#!/usr/bin/env bash
# build.sh NAME [cmake options...] [--target=TARGET...]: configures and builds the tree
# build-NAME (or build for NAME=main) from the repository root: everything, or only the given
# targets and what they need. Ninja prints its progress.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
name=$1
shift
options=()
targets=()
for argument in "$@"; do
    case $argument in
        --target=*) targets+=(--target "${argument#--target=}") ;;
        *) options+=("$argument") ;;
    esac
done
dir="$root/build"
[ "$name" != main ] && dir="$root/build-$name"
cmake -S "$root" -B "$dir" -G Ninja ${options[@]+"${options[@]}"} >/dev/null
cmake --build "$dir" ${targets[@]+"${targets[@]}"}
