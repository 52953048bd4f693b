#!/usr/bin/env bash
# export.sh [bench_export options]
#
# Builds the export benchmark in Release (build-bench/ unless BUILD_DIR is
# set) and runs it: the time from the save panel's confirmed choice to the
# slideshow file on disk, for an album of 50,000 photos by default.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${BUILD_DIR:-build-bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSLIDESHOW_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target bench_export >/dev/null
"$build/bench/bench_export" "$@"
