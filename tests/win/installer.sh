#!/usr/bin/env bash
# The installation package under Wine's own msiexec, in a Wine prefix of the
# test's own (a copy of the tests' prefix, which stays clean): the package
# of the earlier installer files (program folder C:\KeyEntry) with the
# operator's keys; over it a silent default installation with SHAREDSETTINGS
# (a path with " #" in it), AUTOSTART=1 and READERFOLDER (the simulated
# reader library standing in for the vendor's folder), which lands under
# Program Files and takes the keys and KeyEntry.ini along; the installed
# program typing fields of the simulated card by the operator's keys and by
# a template of the shared file; an upgrade to a package of the next version
# built here, which keeps the operator's and the vendor's files; and the
# removal, which leaves them too. Wine applies and enforces no access lists:
# the package's are checked from its tables (PackageTables in the unit tests).
# Usage: installer.sh <bin folder> <package> <its version> <its staging folder>
#                     <program of the next version> <next version>
set -u
bin="$1" msi="$2" version="$3" staging="$4" next_exe="$5" next_version="$6"
repo="$(cd "$(dirname "$0")/../.." && pwd)"
: "${WINEPREFIX:?WINEPREFIX must name the prefix the tests use}"
if [ ! -f "$msi" ] || ! command -v wixl >/dev/null; then
  echo "no installation package (wixl and msibuild missing?): skipped"
  exit 77
fi
work="$(mktemp -d /tmp/keyentry-installer.XXXXXX)"
prefix="$work/prefix"
cleanup() { WINEPREFIX="$prefix" wineserver -k 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
mkdir -p "$prefix"
cp -a "$WINEPREFIX/." "$prefix/"
export WINEPREFIX="$prefix"
wine="${KEYENTRY_WINE:-wine}"
# shellcheck source=msi-steps.sh
. "$repo/tests/win/msi-steps.sh"
old_app="$prefix/drive_c/KeyEntry"
status=0
# The earlier installer files (as released before the program folder was
# locked), whose package installed into C:\KeyEntry: kept in the repository
# so that a shallow clone tests the upgrade as well.
old_installer="$repo/tests/win/earlier-package/installer"
fail() { echo "FAILED: $*"; status=1; }
msiexec() { msiexec_quiet "$@"; }
# The program folder as the installed program knows it: on drive C:.
run_program_test() {  # <version> <key of the name>
  local on_c="${app#"$prefix/drive_c/"}"
  run_installed_program_test "$bin" "C:\\${on_c//\//\\}" "$1" "$2" F11 ||
    fail "the installed program ($1) did not type the name on $2"
}
shortcuts() { find "$prefix/drive_c" -name 'KeyEntry.lnk' | sort; }
keep=(SetKey.txt KeyEntry.ini ostra.dll)
keep_data=(SetKey.txt KeyEntry.shared.ini)
same_as_kept() {  # <step>
  for f in "${keep[@]}"; do cmp -s "$app/$f" "$work/kept/$f" || fail "$1: $f changed or gone"; done
  for f in "${keep_data[@]}"; do
    cmp -s "$data/$f" "$work/kept-data/$f" || fail "$1: the user's $f changed or gone"
  done
  cmp -s "$old_app/notes.txt" "$work/notes.txt" || fail "$1: the operator's file in C:\KeyEntry went"
}

# 0. The package of the earlier installer files, into C:\KeyEntry, with the
# operator's keys and a file of the operator's beside them.
"$old_installer/build-msi.sh" 1.0.0 "$staging" "$work/KeyEntry-1.0.0.msi" ||
  fail "the earlier package could not be built"
msiexec /i "$(winpath "$work/KeyEntry-1.0.0.msi")" /qn 'SHAREDSETTINGS=\\fileserver\keyentry\KeyEntry.ini' \
  /l*v "$(winpath "$work/old-install.log")" || fail "earlier installation: msiexec returned $?"
[ -f "$old_app/KeyEntry.exe" ] || fail "earlier installation: not in C:\KeyEntry"
printf 'F6\r\nF2\r\nF3\r\nF4\r\nF5\r\nF1\r\nF7\r\nF8' > "$old_app/SetKey.txt"
cp "$old_app/SetKey.txt" "$work/operator-keys"
echo "the operator's notes" > "$old_app/notes.txt"
cp "$old_app/notes.txt" "$work/notes.txt"

# 1. A site's silent installation over it, to the default folder.
vendor="$work/vendor"
mkdir -p "$vendor"
cp "$bin/ostra.dll" "$vendor/"
# The site's shared settings in a folder whose name holds " #".
share="$work/Site #2"
mkdir -p "$share"
printf '\xEF\xBB\xBF[模板]\r\nF11 = {姓名}\r\n' > "$share/KeyEntry.ini"
msiexec /i "$(winpath "$msi")" /qn "SHAREDSETTINGS=$(winpath "$share")\\KeyEntry.ini" AUTOSTART=1 \
  "READERFOLDER=$(winpath "$vendor")\\" /l*v "$(winpath "$work/install.log")" ||
  fail "installation: msiexec returned $?"
app="$(dirname "$(find "$prefix/drive_c" -path '*/Program Files*/KeyEntry/KeyEntry.exe' | head -1)")"
case "$app" in
  "$prefix/drive_c/Program Files"*/KeyEntry) echo "installed into ${app#"$prefix/"}" ;;
  *) fail "installation: not under Program Files"; app="$prefix/drive_c/Program Files/KeyEntry" ;;
esac
for f in KeyEntry.exe SendStr.dll; do [ ! -e "$old_app/$f" ] || fail "installation: old $f left in C:\KeyEntry"; done
for f in SetKey.txt KeyEntry.ini; do [ ! -e "$old_app/$f" ] || fail "installation: $f not taken from C:\KeyEntry"; done
cmp -s "$app/SetKey.txt" "$work/operator-keys" || fail "installation: the operator's keys not in the program folder"
cmp -s "$old_app/notes.txt" "$work/notes.txt" || fail "installation: the operator's file in C:\KeyEntry went"
for f in KeyEntry.exe SendStr.dll 使用说明.txt; do
  cmp -s "$app/$f" "$staging/$f" || fail "installation: $f not installed"
done
cmp -s "$app/ostra.dll" "$bin/ostra.dll" || fail "installation: ostra.dll not copied from READERFOLDER"
# KeyEntry.ini: the program's example (no [站点] section of its own) and the line.
printf '[站点]\r\n共享设置 = "%s\\KeyEntry.ini"\r\n' "$(winpath "$share")" > "$work/site"
cmp -s <(tail -c "$(stat -c %s "$work/site")" "$app/KeyEntry.ini") "$work/site" ||
  fail "installation: KeyEntry.ini does not end in the [站点] line: $(tail -n 2 "$app/KeyEntry.ini")"
[ "$(grep -c -x -F "$(printf '[站点]\r')" "$app/KeyEntry.ini")" = 1 ] || fail "installation: not exactly one [站点] line"
shortcuts | grep -q '/Programs/KeyEntry.lnk$' || fail "installation: no Start menu shortcut"
shortcuts | grep -q -i '/Programs/Startup/KeyEntry.lnk$' || fail "installation: no Startup shortcut"
echo "shortcuts after installation:"; shortcuts
cp -r "$bin/demo-reader" "$app/reader-sim"
# The operator's keys from C:\KeyEntry, as the installation's default keys.
run_program_test "$version" F6
# The user's data folder, which the program made and wrote its keys into.
data="$(find "$prefix/drive_c/users" -type d -name KeyEntry -path '*/Local*' | head -1)"
[ -n "$data" ] || data="$work/no-data-folder"
[ -n "$data" ] && [ -f "$data/SetKey.txt" ] || fail "installation: no SetKey.txt in the user's data folder"
[ -f "$data/KeyEntry.shared.ini" ] || fail "installation: no copy of the shared settings in the user's data folder"
[ ! -e "$app/KeyEntry.shared.ini" ] || fail "installation: the shared copy beside the program"

# 2. The operator's changes: other keys, a template; the library writes the
# card files into its current folder (the user's data folder).
printf 'F7\r\nF2\r\nF3\r\nF4\r\nF5\r\nF6\r\nF1\r\nF8' > "$data/SetKey.txt"
printf '[模板]\r\nF10 = {姓名}{Tab}{身份证号}\r\n' >> "$app/KeyEntry.ini"
printf 'card_files=current_folder\r\n' > "$app/reader-sim/answers.txt"
mkdir -p "$work/kept" "$work/kept-data"
for f in "${keep[@]}"; do cp "$app/$f" "$work/kept/"; done
for f in "${keep_data[@]}"; do cp "$data/$f" "$work/kept-data/"; done

# 3. The upgrade to a package of the next version.
mkdir -p "$work/next"
cp "$staging"/* "$work/next/"
cp "$next_exe" "$work/next/KeyEntry.exe"
"$repo/installer/build-msi.sh" "$next_version" "$work/next" "$work/KeyEntry-$next_version.msi" ||
  fail "the package of the next version could not be built"
msiexec /i "$(winpath "$work/KeyEntry-$next_version.msi")" /qn /l*v "$(winpath "$work/upgrade.log")" ||
  fail "upgrade: msiexec returned $?"
cmp -s "$app/KeyEntry.exe" "$next_exe" || fail "upgrade: KeyEntry.exe not replaced"
same_as_kept upgrade
[ -f "$app/reader-sim/answers.txt" ] || fail "upgrade: the simulated reader's files went"
shortcuts | grep -q -i '/Programs/Startup/KeyEntry.lnk$' || fail "upgrade: the Startup shortcut went"
products=$("$wine" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null |
  grep -c 'DisplayName.*KeyEntry')
[ "$products" = 1 ] || fail "upgrade: $products products named KeyEntry installed"
run_program_test "$next_version" F7
[ -f "$data/wz.txt" ] || fail "upgrade: the card files are not in the user's data folder"
cp "$data/SetKey.txt" "$work/kept-data/"

# 4. Another user's own Startup shortcut (as the system menu makes it), in a
# profile of its own; then the removal.
"$wine" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\ProfileList\S-1-5-21-7-7-7-1001' \
  /v ProfileImagePath /t REG_EXPAND_SZ /d 'C:\users\counter2' /f >/dev/null 2>&1
other="$prefix/drive_c/users/counter2/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Startup"
mkdir -p "$other"
cp "$(shortcuts | grep -i '/Programs/Startup/KeyEntry.lnk$' | head -1)" "$other/KeyEntry.lnk"
msiexec /x "$(winpath "$work/KeyEntry-$next_version.msi")" /qn /l*v "$(winpath "$work/uninstall.log")" ||
  fail "removal: msiexec returned $?"
for f in KeyEntry.exe SendStr.dll KeyEntryReader.exe 使用说明.txt; do [ ! -e "$app/$f" ] || fail "removal: $f left"; done
[ -z "$(shortcuts)" ] || fail "removal: shortcuts left: $(shortcuts)"
same_as_kept removal
if [ $status -ne 0 ]; then
  for log in old-install install upgrade uninstall; do
    [ -f "$work/$log.log" ] && { echo "== $log.log: the program's jobs and failures"; iconv -f cp1252 -t utf-8 "$work/$log.log" |
      grep -a -E 'SharedSettings|UsersStartup|MoveFiles|RemoveFiles|Return value 3|rror'; }
  done
fi
exit $status
