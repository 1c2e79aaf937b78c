#!/usr/bin/env bash
# Installs the Debian packages that building and testing Vantrel needs, only those missing, so
# that a machine that already has them is not slowed down, and generates the decimal-comma
# locale nl_NL.UTF-8 that a locale test uses. Needs root (or sudo) for apt-get and locale-gen.
set -euo pipefail

# time: bench/e2e; nlohmann-json3-dev: the run records (report/).
packages=(g++ cmake make python3 libgtest-dev libgmock-dev libbenchmark-dev locales time
          nlohmann-json3-dev)
if [ -f "$(dirname "$0")/../app/CMakeLists.txt" ]; then
    # Qt 6 for the windows (Qt Charts needs the OpenGL module's CMake files, which
    # qt6-charts-dev does not pull in); a font for their texts and the night's pictures; Xvfb
    # for looking at them without a screen; (the locales package is in the list above).
    # chromium and tidy: the cohort page's test loads it in a headless browser and checks it.
    packages+=(qt6-base-dev qt6-charts-dev libqt6opengl6-dev libgl-dev fonts-dejavu-core xvfb xauth
               locales chromium tidy)
fi

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing missing packages: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    if ! $sudo apt-get install -y --no-install-recommends "${missing[@]}"; then
        $sudo apt-get update
        $sudo apt-get install -y --no-install-recommends "${missing[@]}"
    fi
fi

# A batch run under a locale with a decimal comma must still write "." (tests/app).
if command -v localedef >/dev/null && ! locale -a 2>/dev/null | grep -qi '^nl_NL\.utf-\?8$'; then
    echo "Generating the locale nl_NL.UTF-8"
    $sudo localedef -i nl_NL -f UTF-8 nl_NL.UTF-8
fi
