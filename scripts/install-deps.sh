#!/usr/bin/env bash
# Installs every Debian package that building, testing and running Quorvane needs.
# Idempotent and quiet: installs only what is missing.
set -euo pipefail

packages=(
    cmake ninja-build g++ git
    libgtest-dev libgmock-dev libbenchmark-dev
    nlohmann-json3-dev libspdlog-dev libfmt-dev
    libcurl4-openssl-dev ca-certificates
    g++-mingw-w64-x86-64-posix wine64
    libcpp-httplib-dev pkgconf
    clang-14 libclang-rt-14-dev
    libhowardhinnant-date-dev tzdata  # named time zones (plugin/platform/TimeZone*), shipped
    libc-ares-dev  # host names for the built-in RCON client on Linux (plugin/platform/HostLookup*)
    chromium  # the report page in a real browser (tests/node/report-browser.js)
    fonts-dejavu-core  # the only fonts that test lets Chromium use, so every machine renders alike
)
# Node.js runs independent protocol peers in the tests; a machine may already have its own.
command -v node >/dev/null 2>&1 && command -v npm >/dev/null 2>&1 || packages+=(nodejs npm)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
