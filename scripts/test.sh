#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the plain build, the
# AddressSanitizer + UndefinedBehaviorSanitizer build, and the Windows cross build.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

"$root/scripts/install-deps.sh"
"$root/scripts/install-node-deps.sh"
jobs=$(nproc)

echo "== Build and test (RelWithDebInfo)"
"$root/scripts/build.sh" main -DCMAKE_BUILD_TYPE=RelWithDebInfo
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== Build and test under AddressSanitizer + UndefinedBehaviorSanitizer"
"$root/scripts/build.sh" asan -DCMAKE_BUILD_TYPE=Debug -DQUORVANE_SANITIZE=address,undefined \
    -DQUORVANE_BENCHMARKS=OFF
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j "$jobs"

echo "== Windows cross build (MinGW-w64)"
"$root/scripts/build.sh" win -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=Release
"$root/scripts/check-windows-exports.sh" build-win

echo "== All tests passed"
