#!/usr/bin/env bash
# The layout check and the lint:
#   - every C and C++ file of the project against .clang-format;
#   - clang-tidy (.clang-tidy: bug-prone constructs and needless copies) over
#     the product's sources as the Windows build compiles them (build/win)
#     and over the pure code and its tests as the native build does
#     (build/native), from their compile_commands.json.
# Needs those two trees (scripts/build.sh native win). Prints what it finds;
# the exit code is 0 when there is nothing.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VANTREL_BUILD_DIR:-$root/build}
jobs=${VANTREL_JOBS:-$(nproc)}
cd "$root"
status=0

echo "== layout (clang-format)" >&2
mapfile -t sources < <(git ls-files '*.cpp' '*.h' '*.c')
clang-format --dry-run --Werror "${sources[@]}" || status=1

# clang-tidy reads the mingw-w64 headers as the cross compiler finds them.
gcc_dir=$(dirname "$(i686-w64-mingw32-g++-win32 -print-libgcc-file-name)")
mingw_args=(-extra-arg=--target=i686-w64-mingw32
            -extra-arg=-isystem"$gcc_dir/include/c++"
            -extra-arg=-isystem"$gcc_dir/include/c++/i686-w64-mingw32"
            -extra-arg=-isystem/usr/i686-w64-mingw32/include)
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
tidy "product (Windows build)" "$build/win" "^$root/src/.*\.cpp$" "${mingw_args[@]}"
tidy "pure code and its tests (native build)" "$build/native" "^$root/(src|tests)/.*\.cpp$"
exit $status
