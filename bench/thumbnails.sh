#!/usr/bin/env bash
# Runs the thumbnail grid benchmark (bench_thumbnails, Release, offscreen) a
# few times on albums of two sizes and prints the medians of its figures.
#
#   bench/thumbnails.sh [PHOTOS] [RUNS] [SMALL_PHOTOS]
#
# PHOTOS defaults to 2000, RUNS to 3, SMALL_PHOTOS (the smaller album, to show
# that memory does not grow with the album) to 200. The generated photos are
# kept in $BUILD_DIR/thumb-photos (made on the first run; 3000x2000 JPEGs of
# about 2 MB each). BUILD_DIR names the Release build folder (default
# build-bench); the benchmark is built there first when it is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

photos=${1:-2000}
runs=${2:-3}
small=${3:-200}
build=${BUILD_DIR:-build-bench}

if [[ ! -x "$build/bench/bench_thumbnails" ]]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSLIDESHOW_BUILD_TESTS=OFF >/dev/null
  cmake --build "$build" --target bench_thumbnails >/dev/null
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for size in "$small" "$photos"; do
  for ((i = 0; i < runs; i++)); do
    "$build/bench/bench_thumbnails" "$build/thumb-photos" "$size" 2>/dev/null | tee -a "$work/log-$size" |
      sed -n 's/^RESULT //p' >>"$work/results-$size"
  done
done

# The median of one field over the runs of one size.
median() {
  tr ' ' '\n' <"$work/results-$1" | sed -n "s/^$2=//p" | sort -g |
    awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

grep -v '^RESULT' "$work/log-$photos" | tail -n 7
printf '\nmedians of %d runs\n' "$runs"
printf '| %-6s | %9s | %9s | %11s | %9s | %10s | %11s | %10s | %8s | %8s | %9s |\n' photos "first ms" "first CPU" "choice gap" \
  "idle gap" "fling gap" "paging gap" "CPU block" "page ms" "peak MB" "growth MB"
for size in "$small" "$photos"; do
  printf '| %-6s | %9s | %9s | %11s | %9s | %10s | %11s | %10s | %8s | %8s | %9s |\n' "$size" \
    "$(median "$size" first_ms)" "$(median "$size" first_cpu_ms)" "$(median "$size" choice_gap_ms)" "$(median "$size" idle_gap_ms)" \
    "$(median "$size" fling_gap_ms)" "$(median "$size" paging_gap_ms)" "$(median "$size" cpu_block_ms)" \
    "$(median "$size" page_ms)" \
    "$(median "$size" peak_mb)" "$(median "$size" growth_mb)"
done
