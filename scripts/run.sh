#!/usr/bin/env bash
# Builds Tandrel and runs it in the project's own Wine prefix. On a display
# it starts the wizard for a person; without one it builds and says how.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
source "$root/scripts/wine-env.sh"
build_tandrel -DBUILD_TESTING=OFF
prepare_wine_prefix
if [ -n "${DISPLAY:-}" ]; then
  exec wine "$BUILD_DIR/bin/Tandrel.exe"
fi
echo "Built $BUILD_DIR/bin/Tandrel.exe."
echo "There is no display here. On a desktop, run: bash scripts/run.sh"
