#!/usr/bin/env bash
# make-sample-home.sh DEST
#
# Makes DEST a throwaway home folder holding the sample photo library, so the
# application can be tried without touching your own home folder:
#
#   DEST/Pictures/iPhoto Library/AlbumData.xml   the album file
#   DEST/Pictures/iPhoto Library/Originals/      the sample photos
#   DEST/Desktop/                                where the save panel opens
#
# then start the application with HOME=DEST. The album file names the photos
# by absolute path, so it is written from AlbumData.xml.in with the library's
# real location filled in. Running it again refreshes the library and keeps
# whatever is on DEST's Desktop.
set -euo pipefail

if [ $# -ne 1 ] || [ -z "$1" ]; then
  echo "usage: $0 DEST" >&2
  exit 2
fi

here=$(cd "$(dirname "$0")" && pwd)
source_library="$here/sample-library"

mkdir -p "$1"
home=$(cd "$1" && pwd)
library="$home/Pictures/iPhoto Library"

mkdir -p "$home/Desktop" "$library/Originals"
cp -f "$source_library"/Originals/*.jpg "$library/Originals/"

# The path goes into XML text: escape the characters XML reserves there.
escaped=$library
escaped=${escaped//"&"/"&amp;"}
escaped=${escaped//"<"/"&lt;"}
escaped=${escaped//">"/"&gt;"}

template=$(<"$source_library/AlbumData.xml.in")
# Quoted replacement: taken literally (no "&" back-reference in bash 5.2).
printf '%s\n' "${template//@LIBRARY@/"$escaped"}" >"$library/AlbumData.xml"

echo "Sample home ready: $home"
