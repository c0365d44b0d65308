#!/usr/bin/env bash
# Builds the installation package from a staging folder that holds exactly
# the files to install into the program folder (KeyEntry.exe first among
# them), with Debian's msitools: wixl makes the package from KeyEntry.wxs,
# msibuild adds what wixl has no element for.
# Usage: build-msi.sh <version, e.g. 2.0.0> <staging folder> <output .msi>
set -euo pipefail
version="$1"
staging="$(cd "$2" && pwd)"
output="$3"
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d /tmp/keyentry-msi.XXXXXX)"
trap 'rm -rf "$work"' EXIT

[ -f "$staging/KeyEntry.exe" ] || { echo "$staging has no KeyEntry.exe" >&2; exit 1; }

# Each staged file: its File id is its name where that is ASCII; wixl loses
# other names, so those get a stand-in name, put right by msibuild below.
renames=()
n=0
{
  echo '<?xml version="1.0" encoding="utf-8"?>'
  echo '<Include>'
  while IFS= read -r -d '' path; do
    name="$(basename "$path")"
    n=$((n + 1))
    if LC_ALL=C grep -q '^[A-Za-z0-9._-]*$' <<<"$name"; then
      id="$name"
      shown="$name"
    else
      id="File$n"
      shown="File$n.${name##*.}"
      renames+=("$id|FILE$n.$(tr '[:lower:]' '[:upper:]' <<<"${name##*.}")|$name")
    fi
    keypath=""
    [ "$name" = KeyEntry.exe ] && keypath=' KeyPath="yes"'
    echo "  <File Id=\"$id\" Name=\"$shown\" Source=\"files/$name\"$keypath/>"
  done < <(find "$staging" -maxdepth 1 -type f -print0 | sort -z)
  echo '</Include>'
} > "$work/program-files.wxi"

# wixl takes sources relative to the .wxs file.
cp "$here/KeyEntry.wxs" "$work/"
ln -s "$staging" "$work/files"
wixl -D Version="$version" -I "$work" -o "$output" "$work/KeyEntry.wxs"

# Strings in code page 936, for the Chinese file names.
printf '\r\n\r\n936\t_ForceCodepage\r\n' > "$work/_ForceCodepage.idt"
msibuild "$output" -i "$work/_ForceCodepage.idt"
for r in "${renames[@]}"; do
  IFS='|' read -r id short long <<<"$r"
  msibuild "$output" -q "UPDATE File SET FileName='$short|$long' WHERE File='$id'"
done
# The Startup shortcut for all users only with AUTOSTART=1 (or when an
# earlier installation had it).
msibuild "$output" -q "UPDATE Component SET Condition='AUTOSTART=\"1\"' WHERE Component='StartupShortcut'"
# The site's properties pass from the client to the installation service.
msibuild "$output" -q "UPDATE Property SET Value='WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED;INSTALLFOLDER;SHAREDSETTINGS;AUTOSTART;READERFOLDER' WHERE Property='SecureCustomProperties'"
# READERFOLDER: every file of that folder is copied into the program folder
# (copies are never removed again by Windows Installer).
msibuild "$output" -i "$here/MoveFile.idt"
msibuild "$output" -q "INSERT INTO InstallExecuteSequence (Action, Sequence) VALUES ('MoveFiles', 3800)"
# The program folder: modify rights for the PC's users (BU), full control for
# the system and administrators, inherited by the files in it.
msibuild "$output" -i "$here/MsiLockPermissionsEx.idt"
