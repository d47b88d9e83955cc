#!/usr/bin/env bash
# A program without windows loads no drawing or widget library: the libraries ldd resolves for it hold
# Qt Core (so the listing is real) and neither Qt Gui nor Qt Widgets.
set -euo pipefail
program=$1
libraries=$(ldd "$program")
grep -q 'libQt6Core\.so' <<<"$libraries" || { echo "ldd lists no Qt Core for $program:"; echo "$libraries"; exit 1; }
if grep -E 'libQt6(Gui|Widgets)\.so' <<<"$libraries"; then
  echo "$(basename "$program") loads a window library"
  exit 1
fi
echo "$(basename "$program") loads no window library"
