#!/usr/bin/env bash
# Configures and builds the four trees below build/:
#   build/native       pure code and its tests, host g++ with ASan and UBSan
#   build/native-tsan  the same with ThreadSanitizer (the parallel packer)
#   build/win          the product, VantrelInfoHelpV2.exe (mingw-w64 win32)
#   build/wintest      Windows tests and fixtures (mingw-w64 posix), run under Wine
# Usage: scripts/build.sh [native|native-tsan|win|wintest ...]   (default: all four)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VANTREL_BUILD_DIR:-$root/build}
jobs=${VANTREL_JOBS:-$(nproc)}
trees=("$@")
[ ${#trees[@]} -eq 0 ] && trees=(native native-tsan win wintest)

configure() {  # dir, args...
  local dir=$1; shift
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$root" -B "$dir" -G Ninja "$@" >/dev/null
  fi
}

for tree in "${trees[@]}"; do
  case $tree in
    native)
      configure "$build/native" -DVANTREL_TESTS=ON ;;
    native-tsan)
      configure "$build/native-tsan" -DVANTREL_TESTS=ON -DVANTREL_TSAN=ON ;;
    win)
      configure "$build/win" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" -DVANTREL_MINGW_THREADS=win32
      ;;
    wintest)
      configure "$build/wintest" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" -DVANTREL_MINGW_THREADS=posix \
        -DVANTREL_TESTS=ON -DVANTREL_PRODUCT_EXE="$build/win/VantrelInfoHelpV2.exe" ;;
    *) echo "unknown tree: $tree" >&2; exit 2 ;;
  esac
  echo "== building $tree" >&2
  cmake --build "$build/$tree" -j "$jobs"
done
