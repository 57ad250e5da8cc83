#!/usr/bin/env bash
# Configures and builds the four trees below build/:
#   build/native       pure code and its tests, host g++ with ASan and UBSan
#   build/native-tsan  the same with ThreadSanitizer (the parallel packer)
#   build/win          the product, VantrelInfoHelpV2.exe (mingw-w64 win32)
#   build/wintest      Windows tests and fixtures (mingw-w64 posix), run under Wine
# and, for machines that cannot run Wine's 32-bit loader (see scripts/test.sh),
# the same two as 64-bit Windows programs, run under wine64:
#   build/win64        the product built for x86-64
#   build/wintest64    the Windows tests and fixtures built for x86-64
# Usage: scripts/build.sh [TREE[:TARGET] ...]   (default: the first four, whole)
#   TREE:TARGET builds only that target of the tree, e.g. wintest:fixture_guiprobe.
# VANTREL_CMAKE_ARGS adds options to every tree's configuration. A tree is
# configured anew whenever its options (or its toolchain file) differ from
# the ones it was last configured with, which it keeps in configured-with.txt.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VANTREL_BUILD_DIR:-$root/build}
jobs=${VANTREL_JOBS:-$(nproc)}
read -r -a extra_args <<< "${VANTREL_CMAKE_ARGS:-}"
trees=("$@")
[ ${#trees[@]} -eq 0 ] && trees=(native native-tsan win wintest)
toolchain=$root/cmake/mingw-i686.cmake
toolchain64=$root/cmake/mingw-x86_64.cmake

configure() {  # dir, args...
  local dir=$1; shift
  local record=$dir/configured-with.txt wanted
  wanted=$(printf '%s\n' "$@" "${extra_args[@]}"
           for arg in "$@"; do
             case $arg in
               -DCMAKE_TOOLCHAIN_FILE=*) sha256sum "${arg#*=}" "$root/cmake/mingw-common.cmake" ;;
             esac
           done)
  if [ -f "$dir/build.ninja" ] && [ -f "$record" ] && [ "$(cat "$record")" = "$wanted" ]; then
    return
  fi
  if [ -f "$dir/CMakeCache.txt" ]; then
    # Configured anew: no option of the old configuration stays in the cache,
    # the compilers are found again; what is built stays, and ninja rebuilds
    # what the new options change.
    echo "== configuring $(basename "$dir") anew: its options changed or were not recorded" >&2
    rm -rf "$dir/CMakeCache.txt" "$dir"/CMakeFiles/[0-9]*
  fi
  rm -f "$record"
  cmake -S "$root" -B "$dir" -G Ninja "$@" "${extra_args[@]}" >/dev/null
  printf '%s\n' "$wanted" > "$record"
}

for entry in "${trees[@]}"; do
  tree=${entry%%:*}
  target=()
  [ "$entry" != "$tree" ] && target=(--target "${entry#*:}")
  case $tree in
    native)
      configure "$build/native" -DVANTREL_TESTS=ON ;;
    native-tsan)
      configure "$build/native-tsan" -DVANTREL_TESTS=ON -DVANTREL_TSAN=ON ;;
    win)
      configure "$build/win" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DVANTREL_MINGW_THREADS=win32 ;;
    wintest)
      configure "$build/wintest" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DVANTREL_MINGW_THREADS=posix \
        -DVANTREL_TESTS=ON -DVANTREL_PRODUCT_EXE="$build/win/VantrelInfoHelpV2.exe" ;;
    win64)
      configure "$build/win64" -DCMAKE_TOOLCHAIN_FILE="$toolchain64" -DVANTREL_MINGW_THREADS=win32 ;;
    wintest64)
      configure "$build/wintest64" -DCMAKE_TOOLCHAIN_FILE="$toolchain64" -DVANTREL_MINGW_THREADS=posix \
        -DVANTREL_TESTS=ON -DVANTREL_PRODUCT_EXE="$build/win64/VantrelInfoHelpV2.exe" ;;
    *) echo "unknown tree: $tree" >&2; exit 2 ;;
  esac
  echo "== building $entry" >&2
  cmake --build "$build/$tree" -j "$jobs" "${target[@]}"
done
