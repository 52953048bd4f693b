#!/usr/bin/env bash
# Times the command line's --export-all of a whole library: a synthetic album
# file of TARGET_MB megabytes (default 100) with ALBUMS albums (default 64), in
# ASCII so that every album can be written, read and parsed once, then one
# JSON file per album. In the same run, and in turns, it times --list-albums on
# the same file (the load alone) as the reference, and prints medians of wall
# time, CPU time and peak memory (max RSS).
#
#   bench/export_all.sh [RUNS]
#
# RUNS defaults to 5. BUILD_DIR names the Release build folder (default
# build-bench); the program is built there first. Needs python3 and GNU time.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${1:-5}
source bench/common.sh
require_gnu_time
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSLIDESHOW_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target slideshow-exporter >/dev/null
program=$build/src/gui/slideshow-exporter

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
album=$work/AlbumData.xml
python3 bench/make_album.py --albums "${ALBUMS:-64}" --target-mb "${TARGET_MB:-100}" --ascii-only "$album" 2>/dev/null
bytes=$(stat -L -c %s "$album")

# One run: wall seconds, CPU seconds and max RSS in KB on one line. No display:
# the command line needs none.
measure() {
  env -u DISPLAY -u WAYLAND_DISPLAY "$timer" -o "$work/time" -f '%e %U %S %M' "$program" "$@" >/dev/null
  awk '{ printf "%s %.2f %s\n", $1, $2 + $3, $4 }' "$work/time"
}

: >"$work/export"
: >"$work/list"
"$program" --list-albums --library "$album" >/dev/null # fails early on a bad file; warms the page cache
for ((i = 0; i < runs; i++)); do
  measure --export-all --force --library "$album" -o "$work/out" >>"$work/export"
  measure --list-albums --library "$album" >>"$work/list"
done
files=$(find "$work/out" -name '*.json' | wc -l)
output=$(du -sb "$work/out" | cut -f1)


printf 'album file: %.1f MB, %d files written (%.1f MB), %d runs each (medians)\n\n' \
  "$(awk -v b="$bytes" 'BEGIN { print b / 1048576 }')" "$files" "$(awk -v b="$output" 'BEGIN { print b / 1048576 }')" "$runs"
timing_table_header "command"
timing_row "--export-all" "$work/export"
timing_row "--list-albums (load only)" "$work/list"

awk -v e="$(median "$work/export" 1)" -v l="$(median "$work/list" 1)" -v n="$files" \
  'BEGIN { printf "\n--export-all takes %.2fx the load alone; %.1f ms per album beyond the load\n", e / l, (e - l) * 1000 / n }'
