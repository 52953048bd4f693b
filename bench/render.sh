#!/usr/bin/env bash
# render.sh [RUNS]
#
# The video render (the command line's --export to an .mp4, melt doing the
# work) against the encoder floor and an ffmpeg xfade script, for 12 detailed
# photos of 3000x2000 (ImageMagick plasma:fractal JPEGs of about 1.8 MB) at
# 1920x1080, 30 fps, 4 s clips and 1 s Cross Dissolves: 1,770 frames of H.264
# at x264's veryfast preset and CRF 23 (the draft quality). In turns, RUNS
# times (default 3); the xfade script XFADE_RUNS times (default 1: it takes
# minutes). In the same turns, the render with --motion pan-zoom and the one
# with --captions. Then each quality of both formats once: its time and size.
#
#   encoder floor  ffmpeg re-encoding the render's own frames with the same
#                  x264 settings: what any tool must spend on the encoding
#   xfade script   ffmpeg alone: each photo a looped image input, scaled and
#                  padded, chained through xfade=fade
#
# Needs melt, ffmpeg and ImageMagick (apt-get install melt ffmpeg imagemagick).
# The photos are kept in BUILD_DIR/render-photos between runs. The last lines:
#   render: X.XX s, encoder floor Y.YY s (R.RRx), xfade script Z.ZZ s (S.Sx faster)
#   pan-zoom: P.PP s (R.RRx the render), captions: C.CC s (R.RRx the render)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh

runs=${1:-3}
xfade_runs=${XFADE_RUNS:-1}
for tool in melt ffmpeg ffprobe; do
  command -v "$tool" >/dev/null || { echo "render.sh: $tool is missing (apt-get install melt ffmpeg)" >&2; exit 1; }
done
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSLIDESHOW_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target slideshow-exporter >/dev/null
program=$build/src/gui/slideshow-exporter

photos=$PWD/$build/render-photos
plasma_photos "$photos" 12
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
album_file "$work/home" Bench "$photos" 12

settings=(--export Bench --width 1920 --height 1080 --frame-rate 30 --clip-duration 4 --transition-duration 1
  --transition "Cross Dissolve" --force)
x264=(-c:v libx264 -preset veryfast -crf 23 -pix_fmt yuv420p -an)

# seconds CMD...: the command's wall time, its output discarded.
seconds() {
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1 || { echo "render.sh: failed: $*" >&2; exit 1; }
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f\n", b - a }'
}

render() { HOME=$work/home "$program" "${settings[@]}" "$@"; }

xfade() {
  local inputs=() chain="" last="[v0]" offset=0 i
  for i in $(seq 0 11); do
    local length=6
    ((i == 0 || i == 11)) && length=5
    inputs+=(-loop 1 -framerate 30 -t "$length" -i "$photos/p$((i + 1)).jpg")
    chain+="[$i:v]scale=1920:1080:force_original_aspect_ratio=decrease,pad=1920:1080:(ow-iw)/2:(oh-ih)/2,setsar=1,fps=30,format=yuv420p[v$i];"
  done
  for i in $(seq 1 11); do
    offset=$((offset + (i == 1 ? 5 : 6) - 1))
    chain+="$last[v$i]xfade=transition=fade:duration=1:offset=$offset[x$i];"
    last="[x$i]"
  done
  ffmpeg -v error -y "${inputs[@]}" -filter_complex "${chain%;}" -map "$last" "${x264[@]}" "$work/xfade.mp4"
}

: >"$work/times"
for run in $(seq 1 "$runs"); do
  ours=$(seconds render --quality draft -o "$work/ours.mp4")
  floor=$(seconds ffmpeg -v error -y -i "$work/ours.mp4" "${x264[@]}" "$work/floor.mp4")
  moving=$(seconds render --quality draft --motion pan-zoom -o "$work/moving.mp4")
  captioned=$(seconds render --quality draft --captions -o "$work/captioned.mp4")
  echo "$ours $floor $moving $captioned" >>"$work/times"
  echo "run $run: render $ours s, encoder floor $floor s, pan-zoom $moving s, captions $captioned s" >&2
done
for video in ours moving captioned; do
  frames=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 \
    "$work/$video.mp4")
  [[ $frames == 1770 ]] || { echo "render.sh: $video.mp4 holds $frames frames, not 1770" >&2; exit 1; }
done
: >"$work/xfade-times"
for run in $(seq 1 "$xfade_runs"); do
  seconds xfade >>"$work/xfade-times"
  echo "xfade run $run: $(tail -n 1 "$work/xfade-times") s" >&2
done

echo
echo "| format | quality | render s | file MB |"
echo "|---|---|---|---|"
for format in mp4 webm; do
  for quality in draft good best; do
    time=$(seconds render --quality "$quality" -o "$work/q.$format")
    size=$(stat -c %s "$work/q.$format")
    awk -v f="$format" -v q="$quality" -v t="$time" -v s="$size" 'BEGIN { printf "| %s | %s | %.1f | %.1f |\n", f, q, t, s / 1048576 }' 
  done
done

ours=$(median "$work/times" 1)
floor=$(median "$work/times" 2)
moving=$(median "$work/times" 3)
captioned=$(median "$work/times" 4)
xfade_time=$(sort -g "$work/xfade-times" | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')
echo
awk -v r="$ours" -v f="$floor" -v x="$xfade_time" \
  'BEGIN { printf "render: %.2f s, encoder floor %.2f s (%.2fx), xfade script %.2f s (%.1fx faster)\n", r, f, r / f, x, x / r }' 
awk -v r="$ours" -v m="$moving" -v c="$captioned" \
  'BEGIN { printf "pan-zoom: %.2f s (%.2fx the render), captions: %.2f s (%.2fx the render)\n", m, m / r, c, c / r }'
