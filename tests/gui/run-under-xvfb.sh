#!/bin/sh
# Runs a GUI test on a throwaway X server. Without xvfb-run and xauth the test
# is skipped (exit status 77, which ctest reports as skipped).
if ! command -v xvfb-run >/dev/null 2>&1 || ! command -v xauth >/dev/null 2>&1; then
  echo "SKIPPED: the GUI smoke test needs xvfb-run and xauth (apt-get install xvfb xauth)"
  exit 77
fi
QT_QPA_PLATFORM=xcb
export QT_QPA_PLATFORM
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
