#!/usr/bin/env bash
# Runs the window geometry test at 120 DPI, in a copy of the Wine prefix whose
# display is set to 120 DPI (the ordinary run is at 96).
# Usage: dpi120.sh <folder with win_tests.exe>
set -u
bin="$1"
: "${WINEPREFIX:?WINEPREFIX must name the prefix the tests use}"
prefix="$(mktemp -d /tmp/keyentry-dpi120.XXXXXX)"
cleanup() { WINEPREFIX="$prefix" wineserver -k 2>/dev/null; rm -rf "$prefix"; }
trap cleanup EXIT
cp -a "$WINEPREFIX/." "$prefix/"
export WINEPREFIX="$prefix"
"${KEYENTRY_WINE:-wine}" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 120 /f >/dev/null 2>&1
"${KEYENTRY_WINE:-wine}" reg add 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' \
  /v LogPixels /t REG_DWORD /d 120 /f >/dev/null 2>&1
wineserver -w
KEYENTRY_EXPECT_DPI=120 "$(dirname "$0")/../../scripts/wine-run" "$bin/win_tests.exe" \
  --gtest_filter=ProgramRun.WindowGeometryAndCentringAtTheSystemDpi
