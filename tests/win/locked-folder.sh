#!/usr/bin/env bash
# Runs the locked-folder test: the program's folder is made unwritable (the
# immutable attribute stops even root) while the program runs and ends.
# Usage: locked-folder.sh <folder with KeyEntry.exe and win_tests.exe>
set -u
bin="$1"
folder="$(mktemp -d /tmp/keyentry-locked.XXXXXX)"
cleanup() { chattr -i "$folder" 2>/dev/null; rm -rf "$folder"; }
trap cleanup EXIT
cp "$bin/KeyEntry.exe" "$bin/KeyEntryReader.exe" "$bin/SendStr.dll" "$bin/ostra.dll" "$folder/"
keys='F1\r\nF2\r\nF3\r\nF4\r\nF5\r\nF6\r\nF7\r\nF8\r\n'
printf "$keys" > "$folder/SetKey.txt"
if ! chattr +i "$folder" 2>/dev/null; then
  echo "cannot make a folder unwritable here (chattr +i refused): skipped"
  exit 77
fi
KEYENTRY_LOCKED_FOLDER="Z:${folder//\//\\}" "$(dirname "$0")/../../scripts/wine-run" \
  "$bin/win_tests.exe" --gtest_filter=LockedFolder.*
status=$?
chattr -i "$folder"
if [ "$(cat "$folder/SetKey.txt")" != "$(printf "$keys")" ]; then
  echo "SetKey.txt changed"; status=1
fi
extra=$(ls -A "$folder" | grep -v -x -E 'KeyEntry.exe|KeyEntryReader.exe|SendStr.dll|ostra.dll|SetKey.txt')
if [ -n "$extra" ]; then echo "left behind: $extra"; status=1; fi
exit $status
