#!/usr/bin/env bash
# Runs one Windows program of the build under Wine, in the project's prefix
# and a virtual display, for a developer looking at one test or the program:
#   scripts/wine-run.sh build/bin/wizard_tests.exe --gtest_filter=Trap*
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/scripts/wine-env.sh"
out=$(mktemp)
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  wineserver -p; wine wineboot >/dev/null 2>&1 </dev/null
  wine "$@" >"'"$out"'" 2>&1 </dev/null; echo "exit code $?" >>"'"$out"'"
  wineserver -k' _ "$@"
cat "$out"; rm -f "$out"
