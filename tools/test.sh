#!/usr/bin/env bash
# Installs what is needed, builds RFID with its tests and runs every test:
# first the normal build, then the AddressSanitizer/UndefinedBehaviorSanitizer build.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/tools/install-deps.sh"

run_suite() {
  local dir=$1; shift
  "$here/tools/build.sh" "$dir" "$@"
  (cd "$dir" && ctest --output-on-failure -j2 --timeout 600)
}

run_suite "$here/build/test"
if [ "${RFID_SKIP_SANITIZE:-0}" != 1 ]; then
  run_suite "$here/build/sanitize" -DRFID_SANITIZE=ON
fi
