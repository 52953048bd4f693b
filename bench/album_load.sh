#!/usr/bin/env bash
# Times the window's album load (bench_album_load, Release) against python3's
# plistlib.load on the same album file, in turns, and prints medians of wall
# time, CPU time and peak memory (max RSS) with their ratios to the file size.
#
#   bench/album_load.sh [ALBUM_FILE] [RUNS]
#
# Without ALBUM_FILE a synthetic file of TARGET_MB megabytes (default 100) is
# generated with bench/make_album.py into a temporary folder. RUNS defaults
# to 5. BUILD_DIR names the Release build folder (default build-bench); the
# benchmark is built there first when it is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${2:-5}
source bench/common.sh
require_gnu_time

build_if_missing bench_album_load -DSLIDESHOW_BUILD_GUI=OFF

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [[ $# -ge 1 ]]; then
  album=$1
else
  album=$work/AlbumData.xml
  python3 bench/make_album.py --target-mb "${TARGET_MB:-100}" "$album" 2>/dev/null
fi
bytes=$(stat -L -c %s "$album")

# One run: wall seconds, CPU seconds and max RSS in KB on one line.
measure() {
  "$timer" -o "$work/time" -f '%e %U %S %M' "$@" >/dev/null
  awk '{ printf "%s %.2f %s\n", $1, $2 + $3, $4 }' "$work/time"
}

: >"$work/ours"
: >"$work/python"
"$build/bench/bench_album_load" "$album" >/dev/null # fails early on a bad file; warms the page cache
for ((i = 0; i < runs; i++)); do
  measure "$build/bench/bench_album_load" "$album" >>"$work/ours"
  measure python3 -c 'import plistlib, sys; plistlib.load(open(sys.argv[1], "rb"))' "$album" >>"$work/python"
done


printf 'album file: %s, %.1f MB, %d runs each (medians)\n\n' "$album" "$(awk -v b="$bytes" 'BEGIN { print b / 1048576 }')" "$runs"
printf '| %-28s | %8s | %8s | %12s | %12s |\n' "loader" "wall s" "CPU s" "max RSS MB" "RSS / file"
printf '|%s|%s|%s|%s|%s|\n' "------------------------------" "----------" "----------" "--------------" "--------------"
row() {
  local wall cpu rss
  wall=$(median "$2" 1)
  cpu=$(median "$2" 2)
  rss=$(median "$2" 3)
  printf '| %-28s | %8s | %8s | %12.1f | %11.2fx |\n' "$1" "$wall" "$cpu" "$(awk -v k="$rss" 'BEGIN { print k / 1024 }')" \
    "$(awk -v k="$rss" -v b="$bytes" 'BEGIN { print k * 1024 / b }')"
}
row "bench_album_load (window)" "$work/ours"
row "python3 plistlib.load" "$work/python"

awk -v ow="$(median "$work/ours" 1)" -v pw="$(median "$work/python" 1)" \
    -v oc="$(median "$work/ours" 2)" -v pc="$(median "$work/python" 2)" \
  'BEGIN { printf "\nthe window'"'"'s load is %.2fx as fast as plistlib.load (wall), %.2fx (CPU)\n", pw / ow, pc / oc }'

# A return to the application with the file unchanged reuses the last tree.
"$build/bench/bench_album_load" "$album" 1 --reloads "${RELOADS:-20}" | grep '^reload of an unchanged file'
