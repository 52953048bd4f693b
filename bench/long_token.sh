#!/usr/bin/env bash
# Times the property-list read (bench_long_token, Release) of album files of
# the same size: a small valid album file padded with one comment of PAD_MB
# megabytes (default 256), the same file padded with as many bytes of 1 KB
# comments, and one padded with a comment of a quarter of that followed by
# 1 KB comments. The parse should be linear either way: the one-token file at
# most twice as slow, its peak memory (max RSS) under twice the token, and the
# memory taken by a long token not growing with what follows it.
# Prints medians of wall time, CPU time and peak memory, and the ratios; then
# one read of the one-token file at the default token limit (refused).
#
#   bench/long_token.sh [RUNS]
#
# RUNS defaults to 5. BUILD_DIR names the Release build folder (default
# build-bench); the benchmark is built there first when it is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${1:-5}
pad_mb=${PAD_MB:-256}
source bench/common.sh
require_gnu_time

build_if_missing bench_long_token -DSLIDESHOW_BUILD_GUI=OFF

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 bench/make_album.py --photos 200 "$work/base.xml" 2>/dev/null
# The padding goes right after the <plist> start tag, inside the document.
python3 - "$work/base.xml" "$work/one.xml" "$work/many.xml" "$work/middle.xml" "$pad_mb" <<'PY'
import sys
base, one, many, middle, mb = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4], int(sys.argv[5])
text = open(base, 'rb').read()
at = text.index(b'\n', text.index(b'<plist')) + 1
size = mb << 20
chunk = 1 << 20
with open(one, 'wb') as out:
    out.write(text[:at] + b'<!--')
    for left in range(size - 8, 0, -chunk):
        out.write(b'x' * min(chunk, left))
    out.write(b'-->\n' + text[at:])
small = b'<!--' + b'x' * (1024 - 8) + b'-->\n'
with open(many, 'wb') as out:
    out.write(text[:at])
    block = small * 1024
    for _ in range(size // len(block)):
        out.write(block)
    out.write(text[at:])
with open(middle, 'wb') as out:
    out.write(text[:at] + b'<!--' + b'x' * (size // 4 - 8) + b'-->\n')
    for _ in range(size * 3 // 4 // len(block)):
        out.write(block)
    out.write(text[at:])
PY
token_mb=$((pad_mb * 2))

# One run: wall seconds, CPU seconds and max RSS in KB on one line.
measure() {
  "$timer" -o "$work/time" -f '%e %U %S %M' "$@" >/dev/null
  awk '{ printf "%s %.2f %s\n", $1, $2 + $3, $4 }' "$work/time"
}

: >"$work/t-one"
: >"$work/t-many"
: >"$work/t-middle"
"$build/bench/bench_long_token" "$work/many.xml" >/dev/null # warms the page cache
for ((i = 0; i < runs; i++)); do
  measure "$build/bench/bench_long_token" "$work/one.xml" "$token_mb" >>"$work/t-one"
  measure "$build/bench/bench_long_token" "$work/many.xml" >>"$work/t-many"
  measure "$build/bench/bench_long_token" "$work/middle.xml" "$token_mb" >>"$work/t-middle"
done


printf 'files of %s MB padding (%.1f MB each), %d runs each (medians)\n\n' "$pad_mb" \
  "$(awk -v b="$(stat -c %s "$work/one.xml")" 'BEGIN { print b / 1048576 }')" "$runs"
timing_table_header "file"
timing_row "one ${pad_mb} MB comment" "$work/t-one"
timing_row "1 KB comments" "$work/t-many"
timing_row "$((pad_mb / 4)) MB comment, 1 KB comments" "$work/t-middle"

awk -v ow="$(median "$work/t-one" 1)" -v mw="$(median "$work/t-many" 1)" \
    -v oc="$(median "$work/t-one" 2)" -v mc="$(median "$work/t-many" 2)" \
    -v rss="$(median "$work/t-one" 3)" -v qrss="$(median "$work/t-middle" 3)" -v base="$(median "$work/t-many" 3)" \
    -v mb="$pad_mb" \
  'BEGIN { printf "\none token / many: %.2fx wall, %.2fx CPU\n", ow / mw, oc / mc
           printf "peak memory / token: %.2fx (%.2fx above the 1 KB file'"'"'s); quarter-size token: %.2fx (%.2fx)\n",
             rss / 1024 / mb, (rss - base) / 1024 / mb, qrss / 1024 / (mb / 4), (qrss - base) / 1024 / (mb / 4) }'

printf '\nat the default token limit: '
"$build/bench/bench_long_token" "$work/one.xml" || true
