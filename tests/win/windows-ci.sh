#!/usr/bin/env bash
# On a real Windows (Git Bash of a hosted runner, see
# .github/workflows/windows.yml): the installation package installed with
# msiexec /qn, the installed program's own test with its self-check (which
# must find the program folder changeable by SYSTEM and the administrators
# alone), and the removal, with the steps the Wine run uses
# (tests/win/msi-steps.sh).
# Usage: windows-ci.sh <bin folder> <package> <its version>
set -u
bin="$(cd "$1" && pwd)" msi="$2" version="$3"
repo="$(cd "$(dirname "$0")/../.." && pwd)"
export KEYENTRY_ON_WINDOWS=1 KEYENTRY_EXPECT_LOCKED=1
# shellcheck source=msi-steps.sh
. "$repo/tests/win/msi-steps.sh"
status=0
fail() { echo "FAILED: $*"; status=1; }
work="$(mktemp -d)"
vendor="$work/vendor"
mkdir -p "$vendor"
cp "$bin/ostra.dll" "$vendor/"

msiexec_quiet /i "$(winpath "$msi")" /qn AUTOSTART=1 "READERFOLDER=$(winpath "$vendor")\\" \
  /l*v "$(winpath "$work/install.log")" || fail "installation: msiexec returned $?"
app="$(cygpath -u "${PROGRAMFILES(X86):-$PROGRAMFILES}")/KeyEntry"
[ -f "$app/KeyEntry.exe" ] || fail "installation: no KeyEntry.exe in $app"
icacls "$(winpath "$app")"
cp -r "$bin/demo-reader" "$app/reader-sim"
printf 'F1\r\nF2\r\nF3\r\nF4\r\nF5\r\nF6\r\nF7\r\nF8' > "$app/SetKey.txt"
run_installed_program_test "$bin" "$(winpath "$app")" "$version" F1 || fail "the installed program's test"
rm -rf "$app/reader-sim" "$app/SetKey.txt"
msiexec_quiet /x "$(winpath "$msi")" /qn /l*v "$(winpath "$work/uninstall.log")" ||
  fail "removal: msiexec returned $?"
[ ! -e "$app/KeyEntry.exe" ] || fail "removal: KeyEntry.exe left"
[ $status -eq 0 ] || iconv -f utf-16 -t utf-8 "$work/install.log" 2>/dev/null | grep -a -E 'Return value 3|rror' || true
exit $status
