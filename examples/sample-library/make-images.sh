#!/usr/bin/env bash
# Remakes the sample photos in Originals/: small labelled gradients, a few KB
# each. Needs ImageMagick's convert and the DejaVu fonts. The photos are kept
# in git, so this runs only when they are to change.
set -euo pipefail
cd "$(dirname "$0")/Originals"

photo() { # file label top-colour bottom-colour
  convert -size 320x240 "gradient:$3-$4" -gravity center \
    -font DejaVu-Sans -pointsize 26 -fill white -annotate 0 "$2" \
    -quality 70 -strip "$1"
}

photo "beach.jpg"           "Beach"           "#87ceeb" "#e8d8a8"
photo "harbour at dusk.jpg" "Harbour at dusk" "#f4a460" "#1e3a5f"
photo "lighthouse.jpg"      "Lighthouse"      "#b0c4de" "#4a6a8a"
photo "dunes.jpg"           "Dunes"           "#ffe4b5" "#c19a6b"
photo "summit.jpg"          "Summit"          "#dfe8f0" "#5a6e7f"
photo "mountain lake.jpg"   "Mountain lake"   "#9fd3e6" "#1f5f5b"
photo "forest-path.jpg"     "Forest path"     "#a8c686" "#2e4a1e"
photo "roses.jpg"           "Roses"           "#ffc0cb" "#8b1a3a"
photo "tulips.jpg"          "Tulips"          "#fff0a0" "#d2453a"
photo "apple tree.jpg"      "Apple tree"      "#cfe8b0" "#6b8e23"
