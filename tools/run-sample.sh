#!/usr/bin/env bash
# Sets up and builds Vantrel, then runs the main job: a batch analysis (slow waves) of a
# four-hour sample recording, with no display needed.
#   BUILD_DIR   build directory (default: build); the sample goes to $BUILD_DIR/sample
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
sample="$build/sample"

"$root/tools/setup-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j "$(nproc)" --target vantrel4 make-recording

mkdir -p "$sample"
cd "$sample"
# Signal 1 is a sleep-like EEG at 256 Hz; its prefiltering text "HP:0.5Hz LP:35Hz" gives the
# filter values the analysis needs.
"$build/tools/make-recording" --duration=4h night.edf
echo "Sample recording: $sample/night.edf"
"$build/app/vantrel4" --signals night.edf

status=0
"$build/app/vantrel4" night.edf 1 night.cvn 1 1.5 1.8 0.01666 /BATCH /OVERWRITE || status=$?
echo
if [ "$status" -eq 0 ]; then
    echo "Analysis completed."
else
    echo "Analysis failed (exit code $status); the log's last line says why."
fi
echo "Results file: $sample/night.cvn (an EDF file: open it in any EDF viewer)"
echo "Batch log:    $sample/night.log"
[ "$status" -eq 0 ] &&
    echo "Run record:   $sample/night.cvn.json (the settings and the night's numbers: README.md, \"Using the results\")"
exit "$status"
