#!/usr/bin/env bash
# Builds the tool and runs it under Wine in a fresh prefix inside build/run.
# Without a display it presses the button itself (reading the window with
# the test fixture guiprobe) and prints where the archive went and what it
# holds. Where Wine cannot start 32-bit programs (see wine32.sh), it builds
# and runs the tool's 64-bit twin (the same sources as a 64-bit program)
# under wine64 (build/run64) and says so; the shipped 32-bit program then
# runs only in test.sh's emulated guest.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VANTREL_BUILD_DIR:-$root/build}
"$root/scripts/deps.sh"
source "$root/scripts/wine32.sh"
if runs_32_bit_natively; then
  "$root/scripts/build.sh" win wintest:fixture_guiprobe
else
  echo "== NOTICE: this machine cannot run 32-bit programs, so Wine cannot start the shipped 32-bit tool:" >&2
  echo "== running its 64-bit twin (the same sources built as a 64-bit program) under wine64 instead." >&2
  echo "== scripts/test.sh runs the shipped program in an emulated 32-bit guest." >&2
  "$root/scripts/build.sh" win64 wintest64:fixture_guiprobe
  export VANTREL_WINE_BIN=$build/wintest64/wine/bin
fi
exec python3 "$root/scripts/run_tool.py"
