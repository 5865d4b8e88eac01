#!/usr/bin/env bash
# Runs ctest inside the display xvfb-run made: one wineserver for the whole
# run, started before ctest (services started inside ctest would hold its
# output pipe open), ended when the run is over.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/scripts/wine-env.sh"

wineserver -p
wine wineboot >/dev/null 2>&1 </dev/null
rm -rf "$BUILD_DIR/screenshots"
mkdir -p "$BUILD_DIR/screenshots"

cd "$BUILD_DIR"
ctest --output-on-failure --timeout 180 "$@"
status=$?

wineserver -k 2>/dev/null
bmp_to_png "$BUILD_DIR/screenshots"
exit $status
