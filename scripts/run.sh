#!/usr/bin/env bash
# Builds the tool and runs it under Wine in a fresh prefix inside build/run.
# Without a display it presses the button itself (reading the window with
# the test fixture guiprobe) and prints where the archive went and what it
# holds.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
"$root/scripts/build.sh" win wintest:fixture_guiprobe
exec python3 "$root/scripts/run_tool.py"
