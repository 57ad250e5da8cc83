#!/usr/bin/env bash
# The layout check and the lint:
#   - every C and C++ file of the project against .clang-format;
#   - no two modules of src/ include each other (scripts/include_cycles.py);
#   - clang-tidy (.clang-tidy: bug-prone constructs and needless copies) over
#     the product's sources as the Windows build compiles them (build/win)
#     and over the pure code and its tests as the native build does
#     (build/native), from their compile_commands.json.
# Needs those two trees (scripts/build.sh native win); the Windows tests and
# their fixtures are linted too when a Windows test tree is there. Prints
# what it finds; the exit code is 0 when there is nothing.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VANTREL_BUILD_DIR:-$root/build}
jobs=${VANTREL_JOBS:-$(nproc)}
cd "$root"
status=0

echo "== layout (clang-format)" >&2
mapfile -t sources < <(git ls-files '*.cpp' '*.h' '*.c')
clang-format --dry-run --Werror "${sources[@]}" || status=1

echo "== includes (no files of src/ include each other)" >&2
python3 "$root/scripts/include_cycles.py" "$root/src" >&2 || status=1

# clang-tidy reads the mingw-w64 headers as the cross compiler of a tree
# finds them: the compiler (first word of a compile command) names the target.
mingw_args() {  # tree
  local compiler target gcc_dir
  compiler=$(python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))[0]["command"].split()[0])' \
             "$1/compile_commands.json")
  target=$("$compiler" -dumpmachine)
  gcc_dir=$(dirname "$("$compiler" -print-libgcc-file-name)")
  printf '%s\n' -extra-arg=--target="$target" \
    -extra-arg=-isystem"$gcc_dir/include/c++" \
    -extra-arg=-isystem"$gcc_dir/include/c++/$target" \
    -extra-arg=-isystem"/usr/$target/include"
}
# clang's -Wconversion also warns of sign changes, which GCC's (the compiler
# that builds) leaves to -Wsign-conversion; the compile commands ask for
# GCC's set.
common_args=(-extra-arg=-Wno-sign-conversion)
tidy() {  # label, tree, file regex, extra arguments...
  local label=$1 tree=$2 files=$3 log
  shift 3
  echo "== lint (clang-tidy): $label" >&2
  log=$(mktemp)
  if ! run-clang-tidy -quiet -j "$jobs" -p "$tree" "${common_args[@]}" "$@" "$files" >"$log" 2>&1; then
    # Only the findings, not the commands and the counts of system-header warnings.
    grep -E -A3 '(error|warning): .*\[' "$log" | sed 's/\x1b\[[0-9;]*m//g' >&2
    status=1
  fi
  rm -f "$log"
}
mapfile -t win_args < <(mingw_args "$build/win")
tidy "product (Windows build)" "$build/win" "^$root/src/.*\.cpp$" "${win_args[@]}"
tidy "pure code and its tests (native build)" "$build/native" "^$root/(src|tests)/.*\.cpp$"
# The Windows tests and their fixtures, from the test tree that was built:
# the 32-bit one, or the 64-bit one where this machine cannot run 32-bit
# programs (see test.sh).
wintest=${VANTREL_WINTEST_TREE:-$build/wintest}
[ -f "$wintest/compile_commands.json" ] || wintest=$build/wintest64
if [ -f "$wintest/compile_commands.json" ]; then
  mapfile -t wintest_args < <(mingw_args "$wintest")
  tidy "Windows tests and fixtures ($(basename "$wintest"))" "$wintest" \
    "^$root/tests/(.*_win(_test)?\.cpp|fixtures/.*\.cpp)$" "${wintest_args[@]}"
fi
exit $status
