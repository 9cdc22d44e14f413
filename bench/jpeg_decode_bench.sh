#!/bin/sh
# Builds the JPEG decode benchmark in Release and runs it: the time of ObtainBitmap on a
# 6000 x 4000 photograph as a ratio to `djpeg -dct float -outfile /dev/null` on the same file.
#   bench/jpeg_decode_bench.sh [build-dir] [width height [rounds]]
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build/bench-release"}
[ $# -gt 0 ] && shift
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSUOTU_BUILD_TESTS=OFF \
  -DSUOTU_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target jpeg_decode_bench -j2
"$build/bench/jpeg_decode_bench" "$@"
