#!/usr/bin/env bash
# Installs what is missing, builds the project with AddressSanitizer and
# UndefinedBehaviorSanitizer (Debug) and runs every test.
set -euo pipefail
cd "$(dirname "$0")"

.ci/install-deps

build=${BUILD_DIR:-build-test}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSLIDESHOW_SANITIZE=ON
cmake --build "$build"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
