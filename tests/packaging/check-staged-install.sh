#!/usr/bin/env bash
# Installs the build into a staging folder with DESTDIR and checks the tree a package would hold.
set -euo pipefail
build=$1
stage=$(mktemp -d "${TMPDIR:-/tmp}/rfid-stage.XXXXXX")
trap 'rm -rf "$stage"' EXIT
DESTDIR="$stage" cmake --install "$build" --prefix /usr >/dev/null

fail=0
expect() { [ -e "$stage/usr/$1" ] || { echo "missing: /usr/$1"; fail=1; }; }
expect bin/RFID
expect bin/rfidctl
expect libexec/rfid/rfid-report
expect share/RFID/Language/1.English.ini
expect share/RFID/Language/2.Simplified\ Chinese.ini
expect share/RFID/Language/3.Traditional\ Chinese.ini
# Every language file shipped with the program, byte for byte.
source=$(cd "$(dirname "$0")/../.." && pwd)/resources/languages/shipped
for language in "$source"/*.ini; do
  name=$(basename "$language")
  cmp -s "$language" "$stage/usr/share/RFID/Language/$name" || { echo "missing or changed: $name"; fail=1; }
done
expect share/applications/com.tagwell.rfid.desktop
expect share/metainfo/com.tagwell.rfid.metainfo.xml
expect share/icons/hicolor/48x48/apps/com.tagwell.rfid.png
expect share/icons/hicolor/scalable/apps/com.tagwell.rfid.svg

# The udev rule: numbered before 73 so that the uaccess tag takes effect, for the reader's ids only.
rule=$(ls "$stage"/usr/lib/udev/rules.d/*.rules 2>/dev/null | head -n 1 || true)
if [ -z "$rule" ]; then
  echo "missing: udev rule"; fail=1
else
  number=$(basename "$rule" | grep -oE '^[0-9]+' || echo 99)
  [ "$number" -lt 73 ] || { echo "udev rule $(basename "$rule") sorts after 73-seat-late.rules"; fail=1; }
  grep -q 'ATTR{idVendor}=="0314"' "$rule" && grep -q 'ATTR{idProduct}=="1001"' "$rule" \
    && grep -q 'TAG+="uaccess"' "$rule" || { echo "udev rule does not tag the reader for uaccess"; fail=1; }
fi

# The 48 x 48 icon really is 48 x 48, and the programs are executables.
file "$stage/usr/share/icons/hicolor/48x48/apps/com.tagwell.rfid.png" | grep -q '48 x 48' \
  || { echo "48x48 icon has another size"; fail=1; }
for p in RFID rfidctl; do
  [ -x "$stage/usr/bin/$p" ] || { echo "/usr/bin/$p is not executable"; fail=1; }
done
[ $fail -eq 0 ] && echo "staged install complete"
exit $fail
