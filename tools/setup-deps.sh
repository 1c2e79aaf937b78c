#!/usr/bin/env bash
# Installs the Debian packages that building and testing Vantrel needs, only those missing, so
# that a machine that already has them is not slowed down. Needs root (or sudo) for apt-get.
set -euo pipefail

packages=(g++ cmake make libgtest-dev libgmock-dev libbenchmark-dev)
if [ -f "$(dirname "$0")/../app/CMakeLists.txt" ]; then
    # Qt Charts needs the OpenGL module's CMake files, which qt6-charts-dev does not pull in.
    packages+=(qt6-base-dev qt6-charts-dev libqt6opengl6-dev libgl-dev)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing missing packages: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
if ! $sudo apt-get install -y --no-install-recommends "${missing[@]}"; then
    $sudo apt-get update
    $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
