#!/usr/bin/env bash
# Builds the CRC-32 benchmark natively (-O2) and runs the tool's CRC-32 and
# zlib's over the same data: the checksums must agree; compare the rates.
# Usage: bench/crc32/run.sh [MiB]   (default 512)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
out=${VANTREL_BENCH_DIR:-$root/build/bench}
mkdir -p "$out"
g++ -std=c++17 -O2 -I"$root/src" "$here/crc32_bench.cpp" "$root/src/platform/crc32.cpp" -lz -o "$out/crc32_bench"
for which in vantrel zlib vantrel zlib; do
  "$out/crc32_bench" "$which" "${1:-512}"
done
