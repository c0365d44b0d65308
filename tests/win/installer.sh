#!/usr/bin/env bash
# The installation package under Wine's own msiexec, in a Wine prefix of the
# test's own (a copy of the tests' prefix, which stays clean): a silent
# installation with SHAREDSETTINGS, AUTOSTART=1 and READERFOLDER (the
# simulated reader library standing in for the vendor's folder), the
# installed program typing a field of the simulated card; an upgrade to a
# package of the next version built here, which keeps the operator's and the
# vendor's files; and the removal, which leaves them too.
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
winpath() { local p="${1//\//\\}"; echo "Z:$p"; }
app="$prefix/drive_c/KeyEntry"
status=0
fail() { echo "FAILED: $*"; status=1; }
# msiexec under a UTF-8 locale: the zh_CN locale of wine-run is not
# installed here, and Wine then cannot make files with Chinese names.
msiexec() { LC_ALL=C.UTF-8 "$wine" msiexec "$@"; wineserver -w; }
run_program_test() {  # <version> <key of the name>
  KEYENTRY_INSTALLED_FOLDER='C:\KeyEntry' KEYENTRY_INSTALLED_VERSION="$1" KEYENTRY_NAME_KEY="$2" \
    "$repo/scripts/wine-run" "$bin/win_tests.exe" --gtest_filter='InstalledProgram.*' ||
    fail "the installed program ($1) did not type the name on $2"
}
shortcuts() { find "$prefix/drive_c" -name 'KeyEntry.lnk' | sort; }
keep=(SetKey.txt KeyEntry.ini KeyEntry.shared.ini ostra.dll)
same_as_kept() {  # <step>
  for f in "${keep[@]}"; do cmp -s "$app/$f" "$work/kept/$f" || fail "$1: $f changed or gone"; done
}

# 1. A site's silent installation.
vendor="$work/vendor"
mkdir -p "$vendor"
cp "$bin/ostra.dll" "$vendor/"
msiexec /i "$(winpath "$msi")" /qn 'SHAREDSETTINGS=\\fileserver\keyentry\KeyEntry.ini' AUTOSTART=1 \
  "READERFOLDER=$(winpath "$vendor")\\" /l*v "$(winpath "$work/install.log")" ||
  fail "installation: msiexec returned $?"
for f in KeyEntry.exe SendStr.dll 使用说明.txt; do
  cmp -s "$app/$f" "$staging/$f" || fail "installation: $f not installed"
done
cmp -s "$app/ostra.dll" "$bin/ostra.dll" || fail "installation: ostra.dll not copied from READERFOLDER"
# KeyEntry.ini: the program's example (no [站点] section of its own) and the line.
printf '[站点]\r\n共享设置 = \\\\fileserver\\keyentry\\KeyEntry.ini\r\n' > "$work/site"
cmp -s <(tail -c "$(stat -c %s "$work/site")" "$app/KeyEntry.ini") "$work/site" ||
  fail "installation: KeyEntry.ini does not end in the [站点] line: $(tail -n 2 "$app/KeyEntry.ini")"
[ "$(grep -c -x -F "$(printf '[站点]\r')" "$app/KeyEntry.ini")" = 1 ] || fail "installation: not exactly one [站点] line"
shortcuts | grep -q '/Programs/KeyEntry.lnk$' || fail "installation: no Start menu shortcut"
shortcuts | grep -q -i '/Programs/Startup/KeyEntry.lnk$' || fail "installation: no Startup shortcut"
echo "shortcuts after installation:"; shortcuts
cp -r "$bin/demo-reader" "$app/reader-sim"
printf 'F1\r\nF2\r\nF3\r\nF4\r\nF5\r\nF6\r\nF7\r\nF8' > "$app/SetKey.txt"
run_program_test "$version" F1

# 2. The operator's changes: other keys, a template, the copy of the share.
printf 'F6\r\nF2\r\nF3\r\nF4\r\nF5\r\nF1\r\nF7\r\nF8' > "$app/SetKey.txt"
printf '[模板]\r\nF10 = {姓名}{Tab}{身份证号}\r\n' >> "$app/KeyEntry.ini"
printf '\xEF\xBB\xBF[模板]\r\nF11 = {姓名}\r\n' > "$app/KeyEntry.shared.ini"
mkdir -p "$work/kept"
for f in "${keep[@]}"; do cp "$app/$f" "$work/kept/"; done

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
shortcuts | grep -q -i '/Programs/Startup/KeyEntry.lnk$' || fail "upgrade: the Startup shortcut went"
products=$("$wine" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null |
  grep -c 'DisplayName.*KeyEntry')
[ "$products" = 1 ] || fail "upgrade: $products products named KeyEntry installed"
run_program_test "$next_version" F6

# 4. Another user's own Startup shortcut (as the system menu makes it), in a
# profile of its own; then the removal.
"$wine" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\ProfileList\S-1-5-21-7-7-7-1001' \
  /v ProfileImagePath /t REG_EXPAND_SZ /d 'C:\users\counter2' /f >/dev/null 2>&1
other="$prefix/drive_c/users/counter2/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Startup"
mkdir -p "$other"
cp "$(shortcuts | grep -i '/Programs/Startup/KeyEntry.lnk$' | head -1)" "$other/KeyEntry.lnk"
msiexec /x "$(winpath "$work/KeyEntry-$next_version.msi")" /qn /l*v "$(winpath "$work/uninstall.log")" ||
  fail "removal: msiexec returned $?"
for f in KeyEntry.exe SendStr.dll 使用说明.txt; do [ ! -e "$app/$f" ] || fail "removal: $f left"; done
[ -z "$(shortcuts)" ] || fail "removal: shortcuts left: $(shortcuts)"
same_as_kept removal
if [ $status -ne 0 ]; then
  for log in install upgrade uninstall; do
    [ -f "$work/$log.log" ] && { echo "== $log.log: the program's jobs and failures"; iconv -f cp1252 -t utf-8 "$work/$log.log" |
      grep -a -E 'SharedSettings|UsersStartup|MoveFiles|Return value 3|rror'; }
  done
fi
exit $status
