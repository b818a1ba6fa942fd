#!/usr/bin/env bash
# fuzz.sh TARGET [SECONDS [LIBFUZZER OPTIONS...]]: builds the fuzz targets where needed
# (build-fuzz, clang with libFuzzer, ASan and UBSan) and runs TARGET for SECONDS (default 60;
# 0: no time limit, e.g. with -runs=N) on its seeds (fuzz/corpus/TARGET) and on what earlier
# runs found (build-fuzz/corpus/TARGET, where new inputs go). A crash is written to
# build-fuzz/artifacts/TARGET/ and ends the run with a non-zero status.
#   ./scripts/fuzz.sh config 600
#   ./scripts/fuzz.sh webhook 0 -runs=10000000
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
targets=$(ls "$root/fuzz/corpus")
if [ $# -lt 1 ] || [ ! -d "$root/fuzz/corpus/$1" ]; then
    echo "usage: $0 TARGET [SECONDS [LIBFUZZER OPTIONS...]]; targets:" $targets >&2
    exit 2
fi
target=$1
seconds=${2:-60}
shift $(($# < 2 ? $# : 2))

"$root/scripts/install-deps.sh"
build="$root/build-fuzz"
cmake -S "$root" -B "$build" -G Ninja -DQUORVANE_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++-14 \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target "fuzz_$target"
mkdir -p "$build/corpus/$target" "$build/artifacts/$target"
exec "$build/bin/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$build/artifacts/$target/" "$@" \
    "$build/corpus/$target" "$root/fuzz/corpus/$target"
