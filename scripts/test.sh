#!/usr/bin/env bash
# test.sh [STAGE]: installs what is missing, checks that the plugin includes no logging or
# formatting library of its own, then builds and runs the tests of one stage, or of every
# stage in this order when none is given:
#   plain    the plain build (RelWithDebInfo), and the cluster demonstration's own build and run,
#   asan     AddressSanitizer + UndefinedBehaviorSanitizer, soak included,
#   tsan     ThreadSanitizer, soak included,
#   fuzz     every libFuzzer target (fuzz/) for a fixed number of inputs, built with clang,
#   windows  the Windows cross build (MinGW-w64), its exports, and the Windows tests under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

stage=${1:-all}
case $#:$stage in
    0:all | 1:plain | 1:asan | 1:tsan | 1:fuzz | 1:windows) ;;
    *) echo "usage: $0 [plain|asan|tsan|fuzz|windows]" >&2; exit 2 ;;
esac
runs() { [ "$stage" = all ] || [ "$stage" = "$1" ]; }

"$root/scripts/install-deps.sh"
"$root/scripts/check-plugin-includes.sh"
"$root/scripts/install-node-deps.sh"
jobs=$(nproc)

if runs plain; then
    echo "== Build and test (RelWithDebInfo)"
    "$root/scripts/build.sh" main -DCMAKE_BUILD_TYPE=RelWithDebInfo
    ctest --test-dir build --output-on-failure -j "$jobs" -LE soak
    echo "== The cluster demonstration, as README.md starts it"
    "$root/scripts/check-cluster.sh"
fi

if runs asan; then
    echo "== Build and test under AddressSanitizer + UndefinedBehaviorSanitizer"
    "$root/scripts/build.sh" asan -DCMAKE_BUILD_TYPE=Debug \
        -DQUORVANE_SANITIZE=address,undefined -DQUORVANE_BENCHMARKS=OFF
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    ctest --test-dir build-asan --output-on-failure -j "$jobs" -LE soak
    ctest --test-dir build-asan --output-on-failure -L soak
    unset ASAN_OPTIONS UBSAN_OPTIONS
fi

if runs tsan; then
    echo "== Build and test under ThreadSanitizer"
    "$root/scripts/build.sh" tsan -DCMAKE_BUILD_TYPE=Debug -DQUORVANE_SANITIZE=thread \
        -DQUORVANE_BENCHMARKS=OFF
    export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$root/tests/tsan.supp"
    ctest --test-dir build-tsan --output-on-failure -j "$jobs" -LE soak
    ctest --test-dir build-tsan --output-on-failure -L soak
    unset TSAN_OPTIONS
fi

if runs fuzz; then
    echo "== Fuzz targets (libFuzzer, clang; scripts/fuzz.sh runs one for longer)"
    "$root/scripts/build.sh" fuzz -DQUORVANE_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++-14 \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo
    ctest --test-dir build-fuzz --output-on-failure -j "$jobs" -L fuzz
fi

if runs windows; then
    echo "== Windows cross build (MinGW-w64)"
    "$root/scripts/build.sh" win -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
        -DCMAKE_BUILD_TYPE=Release
    "$root/scripts/check-windows-exports.sh" build-win
    # The Linux program that drives the Windows tests comes from the plain build, which this
    # stage alone may find unconfigured.
    "$root/scripts/build.sh" main -DCMAKE_BUILD_TYPE=RelWithDebInfo --target=wine_tests
    "$root/scripts/wine-tests.sh" build-win build
fi

if [ "$stage" = all ]; then
    echo "== All tests passed"
else
    echo "== All tests of the $stage stage passed"
fi
