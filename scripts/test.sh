#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
#   0. a check that the plugin includes no logging or formatting library of its own,
#   1. the plain build (RelWithDebInfo),
#   2. AddressSanitizer + UndefinedBehaviorSanitizer, soak included,
#   3. ThreadSanitizer, soak included,
#   4. the Windows cross build (MinGW-w64), and the Windows tests under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

"$root/scripts/install-deps.sh"
"$root/scripts/check-plugin-includes.sh"
"$root/scripts/install-node-deps.sh"
jobs=$(nproc)

echo "== Build and test (RelWithDebInfo)"
"$root/scripts/build.sh" main -DCMAKE_BUILD_TYPE=RelWithDebInfo
ctest --test-dir build --output-on-failure -j "$jobs" -LE soak

echo "== Build and test under AddressSanitizer + UndefinedBehaviorSanitizer"
"$root/scripts/build.sh" asan -DCMAKE_BUILD_TYPE=Debug -DQUORVANE_SANITIZE=address,undefined \
    -DQUORVANE_BENCHMARKS=OFF
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build-asan --output-on-failure -j "$jobs" -LE soak
ctest --test-dir build-asan --output-on-failure -L soak
unset ASAN_OPTIONS UBSAN_OPTIONS

echo "== Build and test under ThreadSanitizer"
"$root/scripts/build.sh" tsan -DCMAKE_BUILD_TYPE=Debug -DQUORVANE_SANITIZE=thread \
    -DQUORVANE_BENCHMARKS=OFF
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$root/tests/tsan.supp"
ctest --test-dir build-tsan --output-on-failure -j "$jobs" -LE soak
ctest --test-dir build-tsan --output-on-failure -L soak
unset TSAN_OPTIONS

echo "== Windows cross build (MinGW-w64)"
"$root/scripts/build.sh" win -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=Release
"$root/scripts/check-windows-exports.sh" build-win
"$root/scripts/wine-tests.sh" build-win build

echo "== All tests passed"
