#!/usr/bin/env bash
# Builds Tandrel and its tests, then runs every test under Wine in a virtual
# display, two at a time. Ends with ctest's summary; arguments go to ctest.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
source "$root/scripts/wine-env.sh"
build_tandrel -DBUILD_TESTING=ON
prepare_wine_prefix
# Two tests at a time, each in a slot of its own, unless the arguments say
# otherwise: the suite waits on the emulator and on timers more than it works.
case " $* " in
  *" -j"* | *" --parallel"*) ;;
  *) set -- -j2 "$@" ;;
esac
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$root/scripts/ctest-in-display.sh" "$@"
