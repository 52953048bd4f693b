#!/usr/bin/env bash
# open-in-editor.sh shotcut|kdenlive PROGRAM SAMPLE_HOME_SCRIPT [SCREENSHOT]
#
# Exports the sample slideshow (five photos, one without an image file: four
# slides, Edge Wipes, panning and zooming, filling the frame, captioned, with
# music) as the editor's project with the command line PROGRAM,
# opens it in the real editor on a throwaway X server, has the editor save
# its own copy (its Save or Save As command, typed with xdotool) and reads the
# clips back from that copy: the editor loaded a project when its copy holds
# the four photos as clips of one video track, each with the editor's own
# crop, pan and zoom and text filters, the three transitions between them and
# the music on an audio track. With SCREENSHOT, the editor's window is also saved there as a
# PNG (the README's pictures). Exits 77 (skipped) when the editor, xdotool,
# Xvfb, ffmpeg or python3 is missing.
set -euo pipefail

editor=$1 program=$2 sample_home=$3 screenshot=${4:-}
for tool in "$editor" xdotool Xvfb ffmpeg python3; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: $tool is not installed"
    exit 77
  fi
done

work=$(mktemp -d)
server=
cleanup() {
  [[ -n ${editor_pid:-} ]] && kill "$editor_pid" 2>/dev/null || true
  [[ -n $server ]] && kill "$server" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

"$sample_home" "$work/home" >/dev/null
project=$work/sample.$([[ $editor == shotcut ]] && echo mlt || echo kdenlive)
ffmpeg -v error -f lavfi -i "sine=frequency=440:duration=5" "$work/tone.wav"
HOME=$work/home "$program" --export "Summer by the Sea" --transition "Edge Wipe" -o "$project" \
  --motion pan-zoom --framing fill --captions --music "$work/tone.wav"

# An X server of its own: Xvfb picks a free display itself and tells which
# (two tests picking "the first free one" at once would share one).
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
server=$!
for _ in $(seq 100); do [[ -s $work/display ]] && break; sleep 0.1; done
[[ -s $work/display ]] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n 1 "$work/display")"
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done

# Waits (up to the seconds given) for a window whose name matches; its id.
window() {
  local deadline=$((SECONDS + $2)) id
  while ((SECONDS < deadline)); do
    id=$(xdotool search --name "$1" 2>/dev/null | head -n 1 || true)
    [[ -n $id ]] && { echo "$id"; return 0; }
    kill -0 "$editor_pid" 2>/dev/null || { echo "the editor ended" >&2; return 1; }
    sleep 0.5
  done
  echo "no window named '$1' appeared" >&2
  return 1
}
# Waits for the file to hold the text.
written() {
  local deadline=$((SECONDS + 30))
  while ((SECONDS < deadline)); do
    grep -q "$2" "$1" 2>/dev/null && return 0
    sleep 0.5
  done
  echo "$1 was not written" >&2
  return 1
}

# A home and a temporary folder of its own: Kdenlive leaves a lock file in the
# temporary folder when it is killed, and asks about it on its next start.
export HOME=$work/editor-home TMPDIR=$work/tmp
mkdir -p "$HOME" "$TMPDIR"
if [[ $editor == shotcut ]]; then
  shotcut "$project" >"$work/editor.log" 2>&1 &
  editor_pid=$!
  main=$(window "sample.mlt - Shotcut" 60)
  copy=$project
  sleep 3 # the timeline is filled after the window appears
  [[ -n $screenshot ]] && ffmpeg -v error -y -f x11grab -video_size 1280x800 -i "$DISPLAY" -frames:v 1 \
    -vf "crop=860:140:0:472" "$screenshot"
  xdotool windowfocus --sync "$main"
  xdotool key ctrl+s
  written "$copy" "Shotcut version"
else
  dbus-run-session kdenlive "$project" >"$work/editor.log" 2>&1 &
  editor_pid=$!
  # Kdenlive mends what it does not accept and says so in a dialog.
  main=$(window "sample / |Problems found" 90)
  copy=$work/copy.kdenlive
  sleep 3
  if xdotool search --name "Problems found" >/dev/null 2>&1; then
    echo "Kdenlive found problems in the project:" >&2
    grep -v "^$" "$work/editor.log" | tail -n 20 >&2
    exit 1
  fi
  [[ -n $screenshot ]] && ffmpeg -v error -y -f x11grab -video_size 1280x800 -i "$DISPLAY" -frames:v 1 \
    -vf "crop=480:150:0:462" "$screenshot"
  xdotool windowfocus --sync "$main"
  xdotool key ctrl+shift+s
  window "Save As" 30 >/dev/null
  xdotool type --delay 5 "$copy"
  xdotool key Return
  written "$copy" "kdenlive:docproperties"
fi

# The clips of the editor's copy: on its video track, the photos (producers
# whose resource is a file of the sample) and the transitions between them.
python3 - "$editor" "$copy" <<'EOF'
import sys
import xml.etree.ElementTree as ET

editor, path = sys.argv[1], sys.argv[2]
root = ET.parse(path).getroot()
props = lambda e: {p.get("name"): (p.text or "") for p in e.findall("property")}
services = {e.get("id"): e for e in root if e.tag in ("producer", "chain", "tractor", "playlist")}
photo = lambda pid: pid in services and props(services[pid]).get("resource", "").endswith(".jpg")

music = lambda e: any(props(services.get(x.get("producer"), e)).get("resource", "").endswith("tone.wav")
                      for x in e.iter("entry"))
if editor == "shotcut":
    track = [e for e in root.findall("playlist") if props(e).get("shotcut:video") == "1"]
    assert len(track) == 1, "no single video track"
    entries = [e.get("producer") for e in track[0].findall("entry")]
    clips = [p for p in entries if photo(p)]
    transitions = [p for p in entries if props(services[p]).get("shotcut:transition")]
    filters = [sorted(props(f).get("shotcut:filter", props(f).get("mlt_service")) for f in services[p].findall("filter"))
               for p in clips]
    expected = sorted(["crop", "affineSizePosition", "dynamicText", "dynamicText"])
    audio = [e for e in root.findall("playlist") if props(e).get("shotcut:audio") == "1" and music(e)]
else:
    track = [t for t in root.findall("tractor") if len(t.findall("transition")) and
             all(x.get("producer", "").startswith("playlist") for x in t.findall("track"))]
    assert len(track) == 1, "no single video track"
    items = [e for t in track[0].findall("track") for e in services[t.get("producer")].findall("entry")]
    clips = [e.get("producer") for e in items if photo(e.get("producer"))]
    transitions = [t for t in track[0].findall("transition") if "kdenlive:mixcut" in props(t)]
    filters = [sorted(props(f).get("kdenlive_id", "") for f in e.findall("filter")) for e in items if photo(e.get("producer"))]
    expected = sorted(["crop", "qtblend", "dynamictext", "dynamictext"])
    audio = [t for t in root.findall("tractor") if props(t).get("kdenlive:audio_track") == "1" and
             any(music(services[x.get("producer")]) for x in t.findall("track"))]

print(f"{editor}: {len(clips)} photo clips, {len(transitions)} transitions, filters {filters[0] if filters else []}, "
      f"{len(audio)} music track")
assert len(clips) == 4, clips
assert len(transitions) == 3
assert all(f == expected for f in filters), filters
assert len(audio) == 1, "no music track"
EOF
