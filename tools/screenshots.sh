#!/usr/bin/env bash
# Saves every page and window of RFID in every language it ships as PNG files, for people to look at side
# by side: tools/screenshots.sh [OUTPUT-FOLDER]   (default: build/screens)
# The real main window runs over an emulated reader, on an Xvfb display when one can be started (the
# fonts then render as on a desktop), else on the offscreen platform.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$here/build/screens}
"$here/tools/install-deps.sh"
"$here/tools/build.sh" "$here/build/test" -DRFID_EMULATED_READER=ON
screens=$here/build/test/tools/screens/rfid-screens
if command -v xvfb-run >/dev/null; then
  QT_QPA_PLATFORM=xcb exec xvfb-run -a -s "-screen 0 1280x1024x24" "$screens" "$out"
fi
exec "$screens" "$out"
