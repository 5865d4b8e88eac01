#!/usr/bin/env bash
# Builds Tandrel and its tests, then runs every test under Wine in a virtual
# display. Ends with ctest's summary.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
source "$root/scripts/wine-env.sh"
build_tandrel -DBUILD_TESTING=ON
prepare_wine_prefix
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$root/scripts/ctest-in-display.sh" "$@"
