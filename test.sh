#!/usr/bin/env bash
# Installs what is missing, then builds the project and runs every test in
# two configurations, one after the other:
#   Debug with AddressSanitizer and UndefinedBehaviorSanitizer (build-test/)
#   Release, benchmarks built too so that they keep compiling (build-test-release/)
# Both always run; the script fails when either build or any test fails.
# BUILD_DIR and RELEASE_BUILD_DIR choose other build folders.
set -euo pipefail
cd "$(dirname "$0")"

.ci/install-deps

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

summary=()
status=0

# run_configuration NAME BUILD_FOLDER CMAKE_OPTIONS...
run_configuration() {
  local name=$1 build=$2
  shift 2
  echo "=== $name: building in $build"
  local result
  if cmake -S . -B "$build" -G Ninja "$@" && cmake --build "$build"; then
    ctest --test-dir "$build" --output-on-failure --no-tests=error -j"$(nproc)" 2>&1 | tee "$build/ctest.log" || status=1
    result=$(grep -E 'tests passed|No tests were found' "$build/ctest.log" | tail -n 1 || true)
    [ -n "$result" ] || { result="ctest gave no result"; status=1; }
  else
    result="the build failed"
    status=1
  fi
  summary+=("$name: $result")
}

run_configuration "Debug, ASan + UBSan" "${BUILD_DIR:-build-test}" \
  -DCMAKE_BUILD_TYPE=Debug -DSLIDESHOW_SANITIZE=ON -DSLIDESHOW_BUILD_BENCH=OFF
run_configuration "Release" "${RELEASE_BUILD_DIR:-build-test-release}" \
  -DCMAKE_BUILD_TYPE=Release -DSLIDESHOW_SANITIZE=OFF -DSLIDESHOW_BUILD_BENCH=ON

echo
echo "=== Summary"
printf '%s\n' "${summary[@]}"
if [ "$status" -ne 0 ]; then
  echo "FAILED"
fi
exit "$status"
