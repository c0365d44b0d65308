#!/usr/bin/env bash
# Builds the Windows program and starts it under Wine with the simulated
# card reader and its demo card. Without a desktop (no DISPLAY) it runs on a
# private Xvfb and saves a screenshot to build/demo/screenshot.png.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

headless=0
[ -n "${DISPLAY:-}" ] || headless=1
# shellcheck source=wine-env.sh
. scripts/wine-env.sh
trap keyentry_stop_wine EXIT
trap "exit 130" INT TERM

# The 32-bit program; on a kernel without 32-bit support the 64-bit build of
# the same sources (see wine-env.sh).
cmake --preset "$KEYENTRY_WIN_PRESET" >/dev/null
cmake --build --preset "$KEYENTRY_WIN_PRESET" --target KeyEntry sendstr ostra_sim
bin="build/$KEYENTRY_WIN_PRESET/bin"

demo=build/demo
mkdir -p "$demo/reader-sim"
cp "$bin/KeyEntry.exe" "$bin/KeyEntryReader.exe" "$bin/SendStr.dll" "$bin/ostra.dll" "$demo/"
cp -r ostra-sim/demo/cards "$demo/reader-sim/"
cp ostra-sim/demo/ports.txt ostra-sim/demo/card.txt "$demo/reader-sim/"
# Keys F1..F8 for the eight fields, unless the operator has set others.
[ -f "$demo/SetKey.txt" ] || printf 'F1\r\nF2\r\nF3\r\nF4\r\nF5\r\nF6\r\nF7\r\nF8' > "$demo/SetKey.txt"

echo "Starting KeyEntry (close its window to end the demo)."
scripts/wine-run "$demo/KeyEntry.exe" &
app=$!
if [ $headless -eq 1 ]; then
  sleep 6
  import -window root "$demo/screenshot.png" && echo "Screenshot: $demo/screenshot.png"
  echo "No desktop: the demo runs on Xvfb display $DISPLAY; press Ctrl+C to end it."
fi
wait $app
