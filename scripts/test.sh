#!/usr/bin/env bash
# Builds the host, fuzzing and Windows configurations and runs every test:
# the host unit tests, the fuzzers (about 30 s each), and the Windows tests
# of the real program under Wine on Xvfb. Extra arguments go to CTest, e.g.
# `scripts/test.sh -LE soak` for the fast run without the long soak tests.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"

scripts/install-deps.sh

cmake --preset native >/dev/null
cmake --build --preset native
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
# The program that ships: always built, whichever build the tests run on.
cmake --preset win32 >/dev/null
cmake --build --preset win32

KEYENTRY_DISPLAY_OWN=1
# shellcheck source=wine-env.sh
. scripts/wine-env.sh
trap keyentry_stop_wine EXIT
trap "exit 130" INT TERM

if [ "$KEYENTRY_WIN_PRESET" = win64 ]; then
  echo "NOTE: this kernel cannot run 32-bit programs, so 32-bit Wine cannot start."
  echo "      The Windows tests run on a 64-bit build of the same sources under wine64."
  cmake --preset win64 >/dev/null
  cmake --build --preset win64
fi

# One CTest run over all build trees, so the summary covers every test.
mkdir -p build/all
cat > build/all/CTestTestfile.cmake <<CTEST
subdirs("$root/build/native" "$root/build/fuzz" "$root/build/$KEYENTRY_WIN_PRESET")
CTEST
ctest --test-dir build/all --output-on-failure "$@"
