# Sourced by run.sh and test.sh: can Wine start 32-bit Windows programs here?
# Its 32-bit loader is a 32-bit Linux program. Some kernels run 64-bit
# programs only (ia32 emulation off), and an emulator registered for 32-bit
# programs makes every Windows process start take tens of seconds, far beyond
# any test's bound: neither counts. VANTREL_32BIT_BED=guest answers no on any
# machine, to try the beds of a machine that cannot.
runs_32_bit_natively() {
  local entry
  [ "${VANTREL_32BIT_BED:-}" = guest ] && return 1
  for entry in /proc/sys/fs/binfmt_misc/*; do
    grep -qs '^enabled' "$entry" && grep -qs '^interpreter .*qemu-i386' "$entry" && return 1
  done
  timeout 20 /usr/lib/wine/wineserver32 --version >/dev/null 2>&1
}
