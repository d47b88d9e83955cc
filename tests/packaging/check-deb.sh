#!/usr/bin/env bash
# Builds the Debian package with CPack and checks its metadata: dependencies found by shlibdeps and
# a post-install script that reloads the udev rules.
set -euo pipefail
build=$1
out=$(mktemp -d "${TMPDIR:-/tmp}/rfid-deb.XXXXXX")
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -G DEB -B "$out" >/dev/null)
deb=$(ls "$out"/*.deb | head -n 1)
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
fail=0
for lib in libqt6widgets6 libqt6charts6 libusb-0.1-4 libudev1 libqt6sql6-sqlite; do
  grep -q "$lib" <<<"$depends" || { echo "Depends lacks $lib"; fail=1; }
done
dpkg-deb -e "$deb" "$out/control"
grep -q 'udevadm control --reload-rules' "$out/control/postinst" || { echo "postinst does not reload udev"; fail=1; }
contents=$(dpkg-deb -c "$deb")
grep -q './usr/lib/udev/rules.d/70-rfid-reader.rules' <<<"$contents" || { echo "package lacks the udev rule"; fail=1; }
exit $fail
