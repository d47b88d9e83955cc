#!/usr/bin/env bash
# Installs what is needed, builds RFID and starts it with an emulated reader that holds a writable
# card; type "help" in the terminal to swap cards or unplug the reader.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/tools/install-deps.sh"
"$here/tools/build.sh" "$here/build" -DRFID_BUILD_TESTS=OFF -DRFID_EMULATED_READER=ON
exec "$here/build/tools/demo/rfid-demo" "$@"
