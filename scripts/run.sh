#!/usr/bin/env bash
# Builds Tandrel and runs it in the project's own Wine prefix. On a display
# it starts the wizard for a person. Without one it gives a guided tour: the
# wizard runs on a folder of sample plug-ins, is driven through every page
# and dialog, and a picture of each is saved.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
source "$root/scripts/wine-env.sh"
if [ -n "${DISPLAY:-}" ]; then
  build_tandrel -DBUILD_TESTING=OFF
  prepare_wine_prefix
  exec wine "$BUILD_DIR/bin/Tandrel.exe"
fi

build_tandrel -DBUILD_TESTING=ON
prepare_wine_prefix
pictures="$BUILD_DIR/tour"
rm -rf "$pictures"
echo "No display here: touring the wizard in a virtual one."
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  wineserver -p
  wine wineboot >/dev/null 2>&1 </dev/null
  wine "$1/bin/wizard_demo.exe" "Z:$2" </dev/null 2>/dev/null
  status=$?
  wineserver -k
  exit $status' _ "$BUILD_DIR" "$pictures"
bmp_to_png "$pictures"
echo "Pictures of every page and dialog: $pictures"
echo "On a desktop, the same command starts the wizard for a person."
