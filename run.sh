#!/usr/bin/env bash
# Builds the application (Release, in build-release/) and starts it.
#
#   ./run.sh            on your own photo library (~/Pictures/iPhoto Library)
#   ./run.sh --sample   on the sample library in examples/, with a throwaway
#                       home folder (build-release/sample-home); your own home
#                       folder is not touched. SAMPLE=1 ./run.sh does the same.
#
# Missing build packages are installed first (apt-get, through sudo when not
# root). Other arguments go to the application (Qt's own options, such as
# -platform offscreen).
set -euo pipefail
cd "$(dirname "$0")"

sample=${SAMPLE:-0}
args=()
for arg in "$@"; do
  case $arg in
    --sample) sample=1 ;;
    -h|--help)
      sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'
      exit 0
      ;;
    *) args+=("$arg") ;;
  esac
done

.ci/install-deps

build=${BUILD_DIR:-build-release}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DSLIDESHOW_BUILD_TESTS=OFF -DSLIDESHOW_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target slideshow-exporter

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found (DISPLAY and WAYLAND_DISPLAY are unset)." >&2
  echo "Start it from a desktop session, or try: xvfb-run -a ./run.sh --sample" >&2
fi

if [ "$sample" = 1 ]; then
  examples/make-sample-home.sh "$build/sample-home"
  export HOME="$PWD/$build/sample-home"
  echo "Saved slideshows go to $HOME/Desktop"
fi

exec "$build/src/gui/slideshow-exporter" ${args[@]+"${args[@]}"}
