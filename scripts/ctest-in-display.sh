#!/usr/bin/env bash
# Runs ctest inside the display xvfb-run made: one wineserver per prefix,
# started before ctest (services started inside ctest would hold its output
# pipe open), ended when the run is over.
#
# With -j N (or CTEST_PARALLEL_LEVEL) ctest runs N tests at once, each in a
# slot of its own (scripts/wine-env.sh): slot 0 is the project's prefix in
# this display; each further slot is a copy of that prefix, made once, with a
# virtual display of its own. ctest hands the slots out as resources: no two
# tests share one at the same time.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/scripts/wine-env.sh"

slots="${CTEST_PARALLEL_LEVEL:-1}"
args=("$@")
for ((i = 0; i < ${#args[@]}; i++)); do
  case "${args[i]}" in
    -j | --parallel) slots="${args[i + 1]:-1}" ;;
    -j* ) slots="${args[i]#-j}" ;;
    --parallel*) slots="${args[i]#--parallel}" ;;
  esac
done
[[ "$slots" =~ ^[1-9][0-9]*$ ]] || slots=1

# The further prefixes are copied while no server runs on the project's.
wineserver -w
for ((slot = 1; slot < slots; slot++)); do
  dir="$BUILD_DIR/slots/$slot"
  # Copied again when the project's prefix was made or updated since.
  if [ ! -f "$dir/wineprefix/system.reg" ] ||
     [ "$WINEPREFIX/.update-timestamp" -nt "$dir/wineprefix/.update-timestamp" ]; then
    rm -rf "$dir/wineprefix"
    mkdir -p "$dir"
    cp -a "$WINEPREFIX" "$dir/wineprefix"
  fi
done

displays=()
end_slots() {
  local slot
  for ((slot = 1; slot < slots; slot++)); do
    WINEPREFIX="$BUILD_DIR/slots/$slot/wineprefix" wineserver -k 2>/dev/null
  done
  wineserver -k 2>/dev/null
  if [ ${#displays[@]} -gt 0 ]; then
    kill "${displays[@]}" 2>/dev/null
    wait "${displays[@]}" 2>/dev/null
    displays=()
  fi
}
trap end_slots EXIT

start_server() {  # in the prefix and display of the environment
  wineserver -p
  wine wineboot >/dev/null 2>&1 </dev/null
}
start_server
spec='{"version": {"major": 1, "minor": 0}, "local": [{"wine": [{"id": "0", "slots": 1}'
for ((slot = 1; slot < slots; slot++)); do
  dir="$BUILD_DIR/slots/$slot"
  # Xvfb picks a free display and writes its number once it takes clients,
  # which on a busy machine can be many seconds later.
  rm -f "$dir/display" "$dir/display.fifo"
  mkfifo "$dir/display.fifo"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$dir/display.fifo" 2>/dev/null &
  displays+=($!)
  if ! read -r -t 120 number <"$dir/display.fifo"; then
    echo "No virtual display for test slot $slot" >&2
    exit 1
  fi
  rm -f "$dir/display.fifo"
  echo ":$number" >"$dir/display"
  (use_test_slot "id:$slot" && start_server)
  spec+=", {\"id\": \"$slot\", \"slots\": 1}"
done
spec+=']}]}'
mkdir -p "$BUILD_DIR/slots"
echo "$spec" >"$BUILD_DIR/slots/resources.json"

rm -rf "$BUILD_DIR/screenshots"
mkdir -p "$BUILD_DIR/screenshots"

cd "$BUILD_DIR"
ctest --output-on-failure --timeout 180 --resource-spec-file "$BUILD_DIR/slots/resources.json" "$@"
status=$?

end_slots
trap - EXIT
bmp_to_png "$BUILD_DIR/screenshots"
exit $status
