#!/usr/bin/env bash
# Renders and reads a 50,000-slide slideshow document with json_bench, then
# times python3's json.loads on the very same text, and prints a table of
# medians. Builds json_bench in Release first when it is not there.
#
#   bench/json_bench.sh [SLIDES] [ROUNDS]
#
# BUILD_DIR names the Release build folder (default build-bench).
set -euo pipefail
cd "$(dirname "$0")/.."

slides=${1:-50000}
rounds=${2:-15}
build=${BUILD_DIR:-build-bench}

if [[ ! -x "$build/bench/json_bench" ]]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DSLIDESHOW_BUILD_GUI=OFF -DSLIDESHOW_BUILD_TESTS=OFF -DSLIDESHOW_BUILD_BENCH=ON >/dev/null
  cmake --build "$build" --target json_bench >/dev/null
fi

text=$(mktemp --suffix=.json)
trap 'rm -f "$text"' EXIT

ours=$("$build/bench/json_bench" --slides "$slides" --rounds "$rounds" --write "$text")
theirs=$(python3 bench/json_loads.py "$text" "$rounds")

echo "$ours" | head -1
printf '\n| %-40s | %10s | %8s | %10s |\n' "operation (median of $rounds)" "wall ms" "MB/s" "CPU ms"
printf '|%s|%s|%s|%s|\n' "$(printf -- '-%.0s' {1..42})" "------------" "----------" "------------"
row() { # label, line "<name> <ms> ms <mbs> MB/s cpu <cpu> ms"
  read -r _ ms _ mbs _ _ cpu _ <<<"$2"
  printf '| %-40s | %10s | %8s | %10s |\n' "$1" "$ms" "$mbs" "$cpu"
}
row "jsonStringValue (render)" "$(grep '^render' <<<"$ours")"
row "dictionaryWithJSONString (read)" "$(grep '^read' <<<"$ours")"
row "python3 json.loads (same text)" "$theirs"

read_line=$(grep '^read' <<<"$ours")
awk -v a="$read_line" -v b="$theirs" 'BEGIN {
  split(a, r, " "); split(b, l, " ")
  printf "\nread is %.2fx as fast as json.loads (wall-clock medians), %.2fx (CPU medians)\n",
    l[2] / r[2], l[7] / r[7]
}'
