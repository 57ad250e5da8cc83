#!/usr/bin/env bash
# The whole test run: installs what is missing, builds every configuration
# and runs every test (native with sanitizers, then everything under Wine,
# the slow group included). Extra arguments go to the Wine ctest run, for
# example -R zip or -LE slow.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VANTREL_BUILD_DIR:-$root/build}

"$root/scripts/deps.sh" || exit 1
"$root/scripts/build.sh" native win wintest || exit 1

status=0
echo "== native tests" >&2
ctest --test-dir "$build/native" --output-on-failure || status=1
echo "== Windows tests under Wine" >&2
# On a private display of their own (the script tests that drive the GUI
# start one each, too): nothing of the run shows on, or depends on, the
# display of whoever started it.
python3 "$root/scripts/xdisplay.py" \
  ctest --test-dir "$build/wintest" --output-on-failure -j "${VANTREL_TEST_JOBS:-2}" "$@" || status=1
[ $status -eq 0 ] && echo "ALL TESTS PASSED" >&2 || echo "SOME TESTS FAILED" >&2
exit $status
