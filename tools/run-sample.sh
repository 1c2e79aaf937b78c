#!/usr/bin/env bash
# Sets up and builds Vantrel, then runs the main job: a batch analysis of a sample recording.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"

"$root/tools/setup-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j "$(nproc)"
echo "Batch analysis is not there yet: the libraries and their tools are built in $build."
