#!/usr/bin/env bash
# Installs what is needed, builds RFID and starts it.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/tools/install-deps.sh"
"$here/tools/build.sh" "$here/build" -DRFID_BUILD_TESTS=OFF
exec "$here/build/shell/RFID" "$@"
