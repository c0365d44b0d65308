#!/usr/bin/env bash
# Runs the benchmarks (not tests): the hook's decision on the host, and under
# Wine the text sending, one poll tick, start-up against a minimal window
# program, templates and typing modes in the running program, how long
# closing a window holds the program, and the sizes and imports of the
# shipped binaries.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset native >/dev/null
cmake --build --preset native --target hook_bench
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target winbench

echo "== Hook decision (host)"
build/native/hook_bench --benchmark_repetitions=20 --benchmark_report_aggregates_only=true 2>/dev/null |
  grep -E '_median|^Benchmark' || true

KEYENTRY_DISPLAY_OWN=1
# shellcheck source=wine-env.sh
. scripts/wine-env.sh
trap keyentry_stop_wine EXIT
trap "exit 130" INT TERM

# Timings under Wine come from the 32-bit build, or where this kernel cannot
# run 32-bit programs from the 64-bit build of the same sources.
if [ "$KEYENTRY_WIN_PRESET" = win64 ]; then
  echo "NOTE: no 32-bit programs on this kernel: timings are of the 64-bit build under wine64."
  cmake --preset win64 >/dev/null
  cmake --build --preset win64 --target winbench
fi
bin=build/$KEYENTRY_WIN_PRESET/bin
echo "== Under Wine"
for b in sendstr_bench poll_tick_bench reader_helper_bench startup_bench typing_bench window_bench; do
  scripts/wine-run "$bin/$b.exe"
done

echo "== Binaries"
for f in KeyEntry.exe KeyEntryReader.exe SendStr.dll; do
  # Sizes and imports always of the 32-bit program that ships.
  size=$(stat -c %s "build/win32/bin/$f")
  imports=$(i686-w64-mingw32-objdump -p "build/win32/bin/$f" | awk '/DLL Name:/ {print $3}' | sort | tr '\n' ' ')
  printf '%-14s %8d bytes  imports: %s\n' "$f" "$size" "$imports"
done
