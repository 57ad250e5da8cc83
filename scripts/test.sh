#!/usr/bin/env bash
# The whole test run: installs what is missing, builds every configuration
# (warnings are errors), checks the layout and runs the lint, then runs every
# test (native with ASan and UBSan, native again with TSan, then everything
# under Wine, the slow group included). Extra arguments go
# to the Wine ctest run, for example -R zip or -LE slow.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VANTREL_BUILD_DIR:-$root/build}

# Where Wine cannot start 32-bit programs (wine32.sh), the same sources are
# built a second time as 64-bit Windows programs and the Windows tests run
# against that 64-bit twin under wine64; what only a 32-bit process on 64-bit
# Windows meets (WOW64) is skipped there. That group, and the whole-tool
# tests of the shipped 32-bit program, then run as 32-bit code in an emulated
# guest (guest.py) whose kernel runs 32-bit programs.
"$root/scripts/deps.sh" || exit 1
source "$root/scripts/wine32.sh"

status=0
if runs_32_bit_natively; then
  bed=host
  "$root/scripts/build.sh" native native-tsan win wintest || exit 1
  wintest=$build/wintest
else
  bed=guest
  "$root/scripts/deps.sh" guest || exit 1
  cat >&2 <<'NOTE'
== NOTICE: this machine cannot run 32-bit programs natively, so Wine cannot
== start the 32-bit tool here. The Windows tests run against the same sources
== built as 64-bit programs (the twin), under wine64, with the WOW64 cases
== skipped there. Those cases and the shipped 32-bit program's whole-tool
== tests run as 32-bit code in an emulated guest (qemu-system-x86_64, TCG).
NOTE
  # The guest's image is made while the trees build (once; later runs find it).
  mkdir -p "$build/guest"
  nice "$root/scripts/guest_image.sh" > "$build/guest/image.log" 2>&1 &
  image_job=$!
  # The guest runs two programs of the 32-bit test tree (and its fixtures).
  if ! "$root/scripts/build.sh" native native-tsan win win64 wintest64 \
         wintest:win_tests_platform wintest:win_tests_report; then
    kill -TERM "$image_job" 2>/dev/null
    wait "$image_job"
    exit 1
  fi
  wintest=$build/wintest64
fi

VANTREL_WINTEST_TREE=$wintest "$root/scripts/lint.sh" || status=1
echo "== native tests" >&2
ctest --test-dir "$build/native" --output-on-failure || status=1
echo "== native tests under ThreadSanitizer" >&2
ctest --test-dir "$build/native-tsan" --output-on-failure || status=1
exclude=()
if [ $bed = guest ]; then
  echo "== the shipped 32-bit executable: static checks" >&2
  VANTREL_EXE="$build/win/VantrelInfoHelpV2.exe" VANTREL_SOURCE="$root" \
    python3 "$root/tests/scripts/test_executable.py" || status=1
  # The executable's static checks in the 64-bit tree would read the 64-bit
  # build: they ran above against the shipped one.
  exclude=(-E '^script_test_executable$')
  echo "== Windows tests under Wine: the 64-bit twin under wine64 (WOW64 cases skipped)" >&2
else
  echo "== Windows tests under Wine: the shipped 32-bit build under WOW64" >&2
fi
# On a private display of their own (the script tests that drive the GUI
# start one each, too): nothing of the run shows on, or depends on, the
# display of whoever started it.
python3 "$root/scripts/xdisplay.py" \
  ctest --test-dir "$wintest" --output-on-failure -j "${VANTREL_TEST_JOBS:-2}" "${exclude[@]}" "$@" || status=1

if [ $bed = guest ]; then
  wait "$image_job"
  tail -n 1 "$build/guest/image.log" >&2
  echo "== 32-bit group (WOW64 cases, the shipped program's whole-tool tests) in the emulated guest" >&2
  python3 "$root/scripts/guest.py" run
  case $? in
    0|2) ;;  # 2: not run, and the summary says why
    *) status=1 ;;
  esac
  group_line=$(cat "$build/guest/summary.txt" 2>/dev/null ||
               echo "32-bit group in the emulated guest: FAILED (no summary)")
  echo "== beds: native tests on this machine; Windows tests and script tests on the 64-bit twin under" >&2
  echo "== wine64 on this machine; WOW64 cases and the shipped 32-bit program's whole-tool tests in the" >&2
  echo "== emulated guest; the shipped executable's static checks on this machine" >&2
else
  group_line="32-bit group: on this machine (its kernel runs 32-bit programs; no emulated guest needed)"
  echo "== beds: native tests on this machine; every Windows and script test against the shipped" >&2
  echo "== 32-bit build under Wine's WOW64 on this machine" >&2
fi
[ $status -eq 0 ] && result="ALL TESTS PASSED" || result="SOME TESTS FAILED"
echo "$result; $group_line" >&2
exit $status
