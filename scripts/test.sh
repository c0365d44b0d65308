#!/usr/bin/env bash
# Builds the host, fuzzing and Windows configurations and runs every test:
# the host unit tests, the fuzzers (about 30 s each), and the Windows tests
# of the real program under Wine on Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"

scripts/install-deps.sh

cmake --preset native >/dev/null
cmake --build --preset native
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
cmake --preset win32 >/dev/null
cmake --build --preset win32

KEYENTRY_DISPLAY_OWN=1
# shellcheck source=wine-env.sh
. scripts/wine-env.sh
trap keyentry_stop_wine EXIT
trap "exit 130" INT TERM

# One CTest run over all build trees, so the summary covers every test.
mkdir -p build/all
cat > build/all/CTestTestfile.cmake <<CTEST
subdirs("$root/build/native" "$root/build/fuzz" "$root/build/win32")
CTEST
ctest --test-dir build/all --output-on-failure "$@"
