# Shared by the benchmark scripts (sourced, from the top of the repository).

timer=/usr/bin/time
build=${BUILD_DIR:-build-bench}

# Stops unless GNU time is there: it measures peak memory.
require_gnu_time() {
  if [[ ! -x $timer ]]; then
    echo "$(basename "$0"): $timer is missing (apt-get install time)" >&2
    exit 1
  fi
}

# build_if_missing TARGET [CMAKE_OPTION]...: configures the Release build
# folder and builds the benchmark TARGET there when it is not built yet.
build_if_missing() {
  local target=$1
  shift
  if [[ ! -x "$build/bench/$target" ]]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSLIDESHOW_BUILD_TESTS=OFF \
      -DSLIDESHOW_BUILD_BENCH=ON "$@" >/dev/null
    cmake --build "$build" --target "$target" >/dev/null
  fi
}

# median FILE COLUMN: the median of a column of numbers.
median() {
  sort -g -k"$2","$2" "$1" | awk -v c="$2" '{ v[NR] = $c } END { print v[int((NR + 1) / 2)] }'
}

# timing_table_header TITLE: the head of a table of wall time, CPU time and
# peak memory; timing_row LABEL FILE prints the medians of one GNU time log
# ("wall CPU max-RSS-KB" a line).
timing_table_header() {
  printf '| %-32s | %8s | %8s | %12s |\n' "$1" "wall s" "CPU s" "max RSS MB"
  printf '|%s|%s|%s|%s|\n' "----------------------------------" "----------" "----------" "--------------"
}
timing_row() {
  printf '| %-32s | %8s | %8s | %12.1f |\n' "$1" "$(median "$2" 1)" "$(median "$2" 2)" \
    "$(awk -v k="$(median "$2" 3)" 'BEGIN { print k / 1024 }')"
}

# plasma_photos DIR COUNT: DIR/p1.jpg to pCOUNT.jpg, detailed 3000x2000 JPEGs
# of about 1.8 MB (ImageMagick's plasma:fractal, one seed each), made once.
plasma_photos() {
  local convert=/usr/bin/convert i
  # ImageMagick's own convert, should another one come first on the path.
  [[ -x $convert ]] || convert=$(command -v convert || true)
  [[ -n $convert ]] || { echo "$(basename "$0"): ImageMagick is missing (apt-get install imagemagick)" >&2; exit 1; }
  mkdir -p "$1"
  for i in $(seq 1 "$2"); do
    [[ -s $1/p$i.jpg ]] || "$convert" -size 3000x2000 -seed "$i" plasma:fractal -quality 90 "$1/p$i.jpg"
  done
}

# album_file HOME ALBUM DIR COUNT [CAPTION]: the album file of a library in
# HOME with one album of the photos DIR/p1.jpg to pCOUNT.jpg, each captioned
# "CAPTION N" when a caption is given.
album_file() {
  local library="$1/Pictures/iPhoto Library" i
  mkdir -p "$library"
  {
    echo '<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><dict>'
    echo "<key>List of Albums</key><array><dict><key>AlbumName</key><string>$2</string><key>KeyList</key><array>"
    for i in $(seq 1 "$4"); do echo "<string>$i</string>"; done
    echo '</array></dict></array><key>Master Image List</key><dict>'
    for i in $(seq 1 "$4"); do
      echo "<key>$i</key><dict>${5:+<key>Caption</key><string>$5 $i</string>}<key>ImagePath</key><string>$3/p$i.jpg</string></dict>"
    done
    echo '</dict></dict></plist>'
  } >"$library/AlbumData.xml"
}
