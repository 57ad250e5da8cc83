#!/usr/bin/env bash
# The whole test run: installs what is missing, builds every configuration
# and runs every test (native with ASan and UBSan, native again with TSan,
# then everything under Wine, the slow group included). Extra arguments go
# to the Wine ctest run, for example -R zip or -LE slow.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VANTREL_BUILD_DIR:-$root/build}

"$root/scripts/deps.sh" || exit 1
"$root/scripts/build.sh" native native-tsan win wintest || exit 1

# Windows tests that create windows need a display; a private Xvfb serves
# the whole run.
xvfb_pid=
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  for n in $(seq 70 89); do
    [ -e /tmp/.X$n-lock ] || [ -e /tmp/.X11-unix/X$n ] && continue
    Xvfb :$n -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY=:$n
    for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
    break
  done
fi
trap '[ -n "$xvfb_pid" ] && kill $xvfb_pid 2>/dev/null' EXIT

status=0
echo "== native tests" >&2
ctest --test-dir "$build/native" --output-on-failure || status=1
echo "== native tests under ThreadSanitizer" >&2
ctest --test-dir "$build/native-tsan" --output-on-failure || status=1
echo "== Windows tests under Wine" >&2
ctest --test-dir "$build/wintest" --output-on-failure -j "${VANTREL_TEST_JOBS:-2}" "$@" || status=1
[ $status -eq 0 ] && echo "ALL TESTS PASSED" >&2 || echo "SOME TESTS FAILED" >&2
exit $status
