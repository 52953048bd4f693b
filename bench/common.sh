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
