#!/usr/bin/env bash
# Builds the Debian package (Release, in build-release/) and prints its path.
#
#   ./package.sh
#   sudo apt install ./build-release/package/slideshow-exporter_<version>_<arch>.deb
#
# Missing build packages are installed first (apt-get, through sudo when not
# root). BUILD_DIR chooses another build folder.
set -euo pipefail
cd "$(dirname "$0")"

case ${1:-} in
  -h|--help) sed -n '2,8p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
  "") ;;
  *) echo "usage: $0" >&2; exit 2 ;;
esac

.ci/install-deps

build=${BUILD_DIR:-build-release}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DSLIDESHOW_BUILD_TESTS=OFF -DSLIDESHOW_BUILD_BENCH=OFF -DSLIDESHOW_MAN_PAGE=ON >/dev/null
cmake --build "$build"

rm -rf "$build/package"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$build/package" >&2
deb=$(ls "$build"/package/slideshow-exporter_*.deb)
readlink -f "$deb"
