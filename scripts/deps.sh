#!/usr/bin/env bash
# Installs with apt-get whatever the build and the tests need and this
# machine lacks. Quick when everything is there already.
# Usage: scripts/deps.sh [guest]   (guest: also what builds and boots the
# emulated 32-bit test guest, see guest_image.sh and guest.py)
set -euo pipefail

packages=(
  cmake ninja-build g++ googletest python3            # native build and tests
  zlib1g-dev                                           # zlib for the native build of the pure code
  g++-mingw-w64-i686 binutils-mingw-w64-i686           # the Windows cross compilers (win32 and posix)
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64       # the same for 64-bit Windows (test.sh on 64-bit-only kernels)
  clang-format clang-tidy                              # the layout check and the lint (lint.sh)
  git                                                  # lint.sh lists the project's files
  libz-mingw-w64-dev                                   # zlib for the product, linked statically
  wine wine32 wine64                                   # the test bed
  xvfb xdotool imagemagick x11-utils                   # GUI tests: display, clicks, screenshots
  unzip p7zip-full libarchive-tools zip                # independent archive readers; zip for benchmarks
  time                                                 # peak memory in the benchmarks
  locales                                              # locale sources the date tests compile (localedef)
  procps
)
if [ "${1:-}" = guest ]; then
  packages+=(
    qemu-system-x86                                    # the emulated guest (TCG)
    debootstrap e2fsprogs                              # its Debian root folder, written into an ext4 image
  )
fi

missing=()
for p in "${packages[@]}"; do
  arch_pkg=$p
  [ "$p" = wine32 ] && arch_pkg=wine32:i386
  if ! dpkg-query -W -f='${Status}' "$arch_pkg" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$arch_pkg")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}" >&2
SUDO=
[ "$(id -u)" -ne 0 ] && SUDO=sudo
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
# Another install running beside this one (a second checkout's tests)
# holds apt's lock for a while: wait for it rather than fail.
wait_lock=(-o DPkg::Lock::Timeout=900)
$SUDO apt-get "${wait_lock[@]}" update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get "${wait_lock[@]}" install -y -qq --no-install-recommends \
  "${missing[@]}" >/dev/null
