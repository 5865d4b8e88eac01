#!/usr/bin/env bash
# The release as a Windows user gets it: builds the package target, looks into
# the zip, runs the installer silently into a folder that already holds the
# adapter (a stand-in OLVST.DLL), checks what it installed, runs the
# uninstaller silently and checks that exactly that is gone again.
#   install_test.sh <build folder> <version>
set -uo pipefail
build="$1" version="$2"
BUILD_DIR="$build" source "$(dirname "$0")/../../scripts/wine-env.sh"

failures=0
expect() {  # expect <what should hold> <command...>
  local what="$1"; shift
  "$@" || { echo "FAILED: $what"; failures=$((failures + 1)); }
}
absent() { [ ! -e "$1" ]; }
has_key() { wine reg query "$1" >/dev/null 2>&1; }
no_key() { ! has_key "$1"; }

if ! cmake --build "$build" --target package >"$build/package.log" 2>&1; then
  cat "$build/package.log"; echo "FAILED: the package target"; exit 1
fi
zip="$build/Tandrel-$version-win32.zip" setup="$build/Tandrel-$version-setup.exe"
expect "the installer is named after the version" test -f "$setup"
expect "the zip holds the program, its help and the readme, at the top" \
  test "$(python3 -c 'import sys, zipfile; print(*sorted(zipfile.ZipFile(sys.argv[1]).namelist()))' "$zip")" \
       = "Tandrel.exe olvst.chm readme.txt"

# Wine hands an argument with spaces on quoted, and the installer reads /D=
# (like the uninstaller _?=) only unquoted at the end: cmd passes it as typed.
area='C:\tandrel-setup-test' folder='C:\tandrel-setup-test\Ostrel VST Adapter'
unix_area="$WINEPREFIX/drive_c/tandrel-setup-test" unix_folder="$unix_area/Ostrel VST Adapter"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Ostrel VST Adapter"
shortcut="$menu/Ostrel VST Adapter Wizard.lnk"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tandrel'
plugin_entry='HKLM\Software\Ostrel Music Software\Ostrel VST Adapter\Plug-Ins\SETUPTST'
rm -rf "$unix_area"
mkdir -p "$unix_folder" "$unix_area/setup"
echo "stand-in" >"$unix_folder/OLVST.DLL"
cp "$setup" "$unix_area/setup/setup.exe"
wine reg add "$plugin_entry" /v touch /t REG_DWORD /d 1 /f >/dev/null 2>&1

expect "the installer succeeds" wine cmd /c "$area\\setup\\setup.exe /S /D=$folder"
expect "the program is installed as built" cmp -s "$build/bin/Tandrel.exe" "$unix_folder/Tandrel.exe"
for f in olvst.chm readme.txt Uninstall.exe; do
  expect "$f is installed" test -f "$unix_folder/$f"
done
expect "the Start-menu shortcut is made" test -f "$shortcut"
expect "the installed programs list the wizard" has_key "$uninstall_key"

# The uninstaller copies itself away and starts the copy, which Wine does not
# wait for; run a copy of it here in place of that, as it would.
cp "$unix_folder/Uninstall.exe" "$unix_area/setup/uninstall.exe"
expect "the uninstaller succeeds" wine cmd /c "$area\\setup\\uninstall.exe /S _?=$folder"
for f in Tandrel.exe olvst.chm readme.txt Uninstall.exe; do
  expect "$f is removed" absent "$unix_folder/$f"
done
expect "the Start-menu shortcut and its folder are removed" absent "$menu"
expect "the entry among the installed programs is removed" no_key "$uninstall_key"
expect "the adapter's file stays" test -f "$unix_folder/OLVST.DLL"
expect "the adapter's plug-in entries stay" has_key "$plugin_entry"

wine reg delete "$plugin_entry" /f >/dev/null 2>&1
rm -rf "$unix_area"
[ "$failures" -eq 0 ] && echo "The release installs and uninstalls cleanly."
exit $((failures > 0))
