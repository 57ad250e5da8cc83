#!/usr/bin/env bash
# The whole test run: installs what is missing, builds every configuration
# (warnings are errors), checks the layout and runs the lint, then runs every
# test (native with ASan and UBSan, native again with TSan, then everything
# under Wine, the slow group included). Extra arguments go
# to the Wine ctest run, for example -R zip or -LE slow.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VANTREL_BUILD_DIR:-$root/build}

"$root/scripts/deps.sh" || exit 1

# Where Wine cannot start 32-bit programs (wine32.sh), the same sources are
# built a second time as 64-bit Windows programs and the Windows tests run
# against that build under wine64; what only a 32-bit process on 64-bit
# Windows meets (WOW64) is skipped there, and the shipped 32-bit executable
# still gets its static checks.
source "$root/scripts/wine32.sh"

status=0
skipped=
if runs_32_bit_natively; then
  "$root/scripts/build.sh" native native-tsan win wintest || exit 1
  wintest=$build/wintest
else
  "$root/scripts/build.sh" native native-tsan win win64 wintest64 || exit 1
  wintest=$build/wintest64
  cat >&2 <<'NOTE'
== NOTICE: this machine cannot run 32-bit programs natively, so Wine cannot
== start the 32-bit tool. The Windows tests below run against the same sources
== built as 64-bit programs, under wine64; the cases that need a 32-bit
== process on 64-bit Windows (WOW64) are SKIPPED. The shipped 32-bit
== executable gets its static checks (imports, header, resources).
NOTE
  skipped=" (Windows tests on the 64-bit build: the WOW64 cases were SKIPPED, see the notice above)"
fi

VANTREL_WINTEST_TREE=$wintest "$root/scripts/lint.sh" || status=1
echo "== native tests" >&2
ctest --test-dir "$build/native" --output-on-failure || status=1
echo "== native tests under ThreadSanitizer" >&2
ctest --test-dir "$build/native-tsan" --output-on-failure || status=1
if [ "$wintest" = "$build/wintest64" ]; then
  echo "== the shipped 32-bit executable" >&2
  VANTREL_EXE="$build/win/VantrelInfoHelpV2.exe" VANTREL_SOURCE="$root" \
    python3 "$root/tests/scripts/test_executable.py" || status=1
fi
echo "== Windows tests under Wine" >&2
# On a private display of their own (the script tests that drive the GUI
# start one each, too): nothing of the run shows on, or depends on, the
# display of whoever started it. The executable's static checks in the 64-bit
# tree would read the 64-bit build: they ran above against the shipped one.
exclude=()
[ "$wintest" = "$build/wintest64" ] && exclude=(-E '^script_test_executable$')
python3 "$root/scripts/xdisplay.py" \
  ctest --test-dir "$wintest" --output-on-failure -j "${VANTREL_TEST_JOBS:-2}" "${exclude[@]}" "$@" || status=1
[ $status -eq 0 ] && echo "ALL TESTS PASSED$skipped" >&2 || echo "SOME TESTS FAILED$skipped" >&2
exit $status
