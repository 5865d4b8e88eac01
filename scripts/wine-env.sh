# Sourced by the other scripts: the project's own 32-bit Wine prefix under the
# build folder, never the user's ~/.wine.
BUILD_DIR="${BUILD_DIR:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build}"
export WINEARCH=win32
export WINEPREFIX="$BUILD_DIR/wineprefix"
export WINEDEBUG=-all
# A test that ctest runs beside others (scripts/ctest-in-display.sh) is given
# a slot: a prefix, a display and a folder for its files that no other test
# uses meanwhile, so that their registries, single-instance mutexes, windows,
# clipboards and planted files stay apart. Slot 0 is the prefix above, with
# the display and folders of a run by hand.
use_test_slot() {  # use_test_slot <ctest's "id:<slot>,slots:1">
  local slot="${1#id:}" files
  slot="${slot%%,*}"
  [ "$slot" = 0 ] && return
  export WINEPREFIX="$BUILD_DIR/slots/$slot/wineprefix"
  DISPLAY="$(cat "$BUILD_DIR/slots/$slot/display")"
  export DISPLAY
  # Where the tests' FreshDir makes its folders, as the programs name it.
  files="$BUILD_DIR/slots/$slot/testdata"
  export TANDREL_TEST_DATA="Z:${files//\//\\}"
}
[ -z "${CTEST_RESOURCE_GROUP_0_WINE:-}" ] || use_test_slot "$CTEST_RESOURCE_GROUP_0_WINE"
# Set where 32-bit code runs through qemu's user-mode emulator
# (scripts/i386-on-64.sh): a test of what only a real processor does can
# tell it is not on one.
if grep -qx enabled /proc/sys/fs/binfmt_misc/tandrel-i386 2>/dev/null; then
  export TANDREL_I386_EMULATED=1
fi

# Creates the prefix on first use and sets what running without a person
# needs: no crash dialog, unmanaged windows (no close stall under Xvfb), and
# Wine's own Tahoma so dialogs have their designed size.
prepare_wine_prefix() {
  mkdir -p "$BUILD_DIR"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the Wine prefix in $WINEPREFIX"
    WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1
    wineserver -w
  fi
  local fonts="$WINEPREFIX/drive_c/windows/Fonts"
  mkdir -p "$fonts"
  for f in tahoma.ttf tahomabd.ttf marlett.ttf; do
    [ -f "$fonts/$f" ] || cp "/usr/share/wine/fonts/$f" "$fonts/" 2>/dev/null || true
  done
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  wineserver -k 2>/dev/null || true
}

# Configures and builds with the i686 mingw toolchain.
build_tandrel() {
  local root
  root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
  cmake -S "$root" -B "$BUILD_DIR" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/i686-mingw.cmake" "$@" >/dev/null
  cmake --build "$BUILD_DIR" -j"$(nproc)"
}

# Tests and the tour save what they show as BMP; PNG is what people look at.
bmp_to_png() {
  command -v mogrify >/dev/null || return 0
  find "$1" -name '*.bmp' 2>/dev/null | while read -r bmp; do
    mogrify -format png "$bmp" && rm -f "$bmp"
  done
}
