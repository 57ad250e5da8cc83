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

# Wine runs the 32-bit tool through its 32-bit loader, a 32-bit Linux program.
# Some kernels run 64-bit programs only (ia32 emulation off); an emulator
# registered for 32-bit programs makes every Windows process start take tens
# of seconds, far beyond any test's bound. On such a machine the Windows tests
# cannot run: say so loudly and run what needs no Wine.
runs_32_bit_natively() {
  local entry
  for entry in /proc/sys/fs/binfmt_misc/*; do
    grep -qs '^enabled' "$entry" && grep -qs '^interpreter .*qemu-i386' "$entry" && return 1
  done
  timeout 20 /usr/lib/wine/wineserver32 --version >/dev/null 2>&1
}

status=0
skipped=
echo "== native tests" >&2
ctest --test-dir "$build/native" --output-on-failure || status=1
echo "== native tests under ThreadSanitizer" >&2
ctest --test-dir "$build/native-tsan" --output-on-failure || status=1
if runs_32_bit_natively; then
  echo "== Windows tests under Wine" >&2
  # On a private display of their own (the script tests that drive the GUI
  # start one each, too): nothing of the run shows on, or depends on, the
  # display of whoever started it.
  python3 "$root/scripts/xdisplay.py" \
    ctest --test-dir "$build/wintest" --output-on-failure -j "${VANTREL_TEST_JOBS:-2}" "$@" || status=1
else
  cat >&2 <<'NOTE'
== NOTICE: this machine cannot run 32-bit programs natively, so Wine cannot run
== the 32-bit tool or its Windows tests: they are SKIPPED. The trees were built;
== only the checks that need no Wine run below (the executable's imports,
== header and resources).
NOTE
  ctest --test-dir "$build/wintest" --output-on-failure -R '^script_test_executable$' -FA wine_prefix || status=1
  skipped=" (the Windows tests under Wine were SKIPPED: see the notice above)"
fi
[ $status -eq 0 ] && echo "ALL TESTS PASSED$skipped" >&2 || echo "SOME TESTS FAILED$skipped" >&2
exit $status
