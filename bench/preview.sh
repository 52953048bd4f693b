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
convert=/usr/bin/convert
[[ -x $convert ]] || convert=$(command -v convert || true)
[[ -n $convert ]] || { echo "preview.sh: ImageMagick is missing (apt-get install imagemagick)" >&2; exit 1; }

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSLIDESHOW_BUILD_TESTS=OFF -DSLIDESHOW_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target bench_preview >/dev/null

photos=$PWD/$build/preview-photos
mkdir -p "$photos"
for i in $(seq 1 100); do
  [[ -s $photos/p$i.jpg ]] || "$convert" -size 3000x2000 -seed "$i" plasma:fractal -quality 90 "$photos/p$i.jpg"
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
library="$work/Pictures/iPhoto Library"
mkdir -p "$library"
{
  echo '<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><dict>'
  echo '<key>List of Albums</key><array><dict><key>AlbumName</key><string>Preview</string><key>KeyList</key><array>'
  for i in $(seq 1 100); do echo "<string>$i</string>"; done
  echo '</array></dict></array><key>Master Image List</key><dict>'
  for i in $(seq 1 100); do
    echo "<key>$i</key><dict><key>Caption</key><string>Photo number $i of the preview</string>"
    echo "<key>ImagePath</key><string>$photos/p$i.jpg</string></dict>"
  done
  echo '</dict></dict></plist>'
} >"$library/AlbumData.xml"

QT_QPA_PLATFORM=offscreen "$build/bench/bench_preview" "$work" "$rounds" "$seconds"
