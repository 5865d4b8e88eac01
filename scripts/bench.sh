#!/usr/bin/env bash
# Builds Tandrel and runs its benchmarks under Wine. Each prints its figures
# and the ratios to the floor it measures in the same run.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
source "$root/scripts/wine-env.sh"
build_tandrel -DBUILD_TESTING=ON
prepare_wine_prefix
shopt -s nullglob
for bench in "$BUILD_DIR"/bin/*_bench.exe; do
  echo "== $(basename "$bench" .exe)"
  "$root/scripts/wine-run.sh" "$bench" "$@"
done
