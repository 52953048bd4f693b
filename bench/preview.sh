#!/usr/bin/env bash
# preview.sh [ROUNDS] [SECONDS]
#
# The window's preview (offscreen) on a 100-photo album of detailed 3000x2000
# JPEGs (ImageMagick plasma:fractal, captioned) at 1920x1080, 30 fps, pan and
# zoom and captions, frames of 480x270: the first frame after the Preview tab
# opens, the frames shown late over SECONDS (default 20) of playing, seeks,
# and the GUI thread's longest block; ROUNDS (default 3) fresh windows. The
# last line, medians:
#   preview: first frame N ms, late frames P%, seek N ms, longest GUI block N ms
#
# Needs melt and ImageMagick (apt-get install melt imagemagick). The photos
# are kept in BUILD_DIR/preview-photos between runs (about 180 MB).
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh

rounds=${1:-3}
seconds=${2:-20}
command -v melt >/dev/null || { echo "preview.sh: melt is missing (apt-get install melt)" >&2; exit 1; }

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSLIDESHOW_BUILD_TESTS=OFF -DSLIDESHOW_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target bench_preview >/dev/null

photos=$PWD/$build/preview-photos
plasma_photos "$photos" 100
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
album_file "$work" Preview "$photos" 100 "Photo number"

QT_QPA_PLATFORM=offscreen "$build/bench/bench_preview" "$work" "$rounds" "$seconds"
