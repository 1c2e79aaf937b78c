#!/usr/bin/env bash
# Sets up what the build needs, builds everything and runs every test.
#   BUILD_DIR   build directory (default: build)
#   FRESH=1     start from an empty build directory
#   Extra arguments are passed to ctest (for example -R Udstr).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"

"$root/tools/setup-deps.sh"
[ "${FRESH:-0}" = 1 ] && rm -rf "$build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j "$(nproc)"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" "$@"
