#!/usr/bin/env bash
# wine-tests.sh BUILD-WIN [BUILD-LINUX] [--gtest_...]: runs the Windows tests under Wine.
# BUILD-WIN is the MinGW build (its programs and Quorvane.dll run under Wine), BUILD-LINUX the
# Linux build whose wine_tests drives them (default: build); both are brought up to date
# first. Options that start with --gtest go to GoogleTest (e.g. --gtest_filter=ServerKey*).
# The Wine prefix is BUILD-WIN/wine-prefix, made on first use; no window is ever opened.
# Exits non-zero when a test fails, naming it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dirs=()
gtest=()
for argument in "$@"; do
    case $argument in
        --gtest*) gtest+=("$argument") ;;
        *) dirs+=("$argument") ;;
    esac
done
[ ${#dirs[@]} -ge 1 ] && [ ${#dirs[@]} -le 2 ] ||
    { echo "usage: $0 BUILD-WIN [BUILD-LINUX] [--gtest_...]" >&2; exit 2; }
absolute() { case $1 in /*) echo "$1" ;; *) echo "$root/$1" ;; esac; }
win=$(absolute "${dirs[0]}")
linux=$(absolute "${dirs[1]:-build}")

# Debian's wine64 package puts its loader and server outside PATH; the wine package, a
# recommendation of wine64, adds wrappers on PATH. WINE and WINESERVER override both.
find_tool() {
    local tool
    for tool in "$@"; do
        case $tool in
            /*) [ -x "$tool" ] && { echo "$tool"; return; } ;;
            *) command -v "$tool" 2>/dev/null && return ;;
        esac
    done
    return 1
}
wine=$(find_tool "${WINE:-wine64}" wine64 /usr/lib/wine/wine64 wine) ||
    { echo "wine-tests: no Wine (apt-get install wine64)" >&2; exit 1; }
wineserver=$(find_tool "${WINESERVER:-wineserver}" wineserver /usr/lib/wine/wineserver64 \
    "$(dirname "$wine")/wineserver64" "$(dirname "$wine")/wineserver") ||
    { echo "wine-tests: no wineserver beside $wine" >&2; exit 1; }

cmake --build "$win"
cmake --build "$linux" --target wine_tests

export WINEPREFIX="$win/wine-prefix"
export WINESERVER="$wineserver"
export WINEDEBUG=-all
# No Mono or Gecko installer, no desktop menu entries.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "== Preparing the Wine prefix $WINEPREFIX"
    # Wine reports the 32-bit parts that wine64 alone lacks; harmless for 64-bit programs.
    "$wine" wineboot --init >"$win/wine-prefix.log" 2>&1 ||
        { cat "$win/wine-prefix.log" >&2; echo "wine-tests: wineboot failed" >&2; exit 1; }
    "$wineserver" --wait
fi
# One server for the whole run rather than one per program; stopped on the way out. The
# first program also starts Wine's background processes, which inherit its standard streams
# and live as long as the server: started here, they hold none of the tests' pipes.
"$wineserver" --persistent 2>/dev/null || true
trap '"$wineserver" --kill >/dev/null 2>&1 || true' EXIT
"$wine" cmd.exe /c exit </dev/null >/dev/null 2>&1

echo "== Windows tests under Wine ($("$wine" --version 2>/dev/null || echo "$wine"))"
status=0
QUORVANE_WINE="$wine" QUORVANE_WIN_BUILD="$win" "$linux/bin/wine_tests" ${gtest[@]+"${gtest[@]}"} ||
    status=$?
if [ "$status" -ne 0 ]; then
    echo "wine-tests: Windows tests failed (exit $status); see [  FAILED  ] above" >&2
fi
exit "$status"
