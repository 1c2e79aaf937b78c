#!/usr/bin/env bash
# Installs the Debian packages that building and testing Vantrel needs, only those missing, so
# that a machine that already has them is not slowed down, and generates the decimal-comma
# locale nl_NL.UTF-8 that a locale test uses. Needs root (or sudo) for apt-get and locale-gen.
set -euo pipefail

packages=(g++ cmake make python3 libgtest-dev libgmock-dev libbenchmark-dev locales)
if [ -f "$(dirname "$0")/../app/CMakeLists.txt" ]; then
    # Qt 6 for the windows; a font for their texts; Xvfb for looking at them without a screen;
    # locales for the locale test.
    packages+=(qt6-base-dev qt6-charts-dev libgl-dev fonts-dejavu-core xvfb xauth locales)
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

# A locale whose decimal separator is the comma.
if ! locale -a 2>/dev/null | grep -qix 'nl_NL\.utf-\?8'; then
    echo "Generating the locale nl_NL.UTF-8"
    if [ -f /etc/locale.gen ] && grep -q 'nl_NL.UTF-8' /etc/locale.gen; then
        $sudo sed -i 's/^# *\(nl_NL.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    else
        echo 'nl_NL.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
    fi
    $sudo locale-gen >/dev/null
fi
