#!/usr/bin/env bash
# The all-files batch command (the code RzButton2Click runs, headless) against a loop of
# djpeg -dct float -outfile /dev/null over the same files, in one run.
#
#   bench/batch_bench.sh [BUILD_DIR]     (default build/release; needs djpeg, cjpeg)
#
# The folder: the sample photographs as they are, each re-encoded as a baseline file and as a
# progressive file (at least 40 files of mixed sizes). Times are the best of RUNS runs; the
# peak memory is the batch process's maximum resident set, against 4x the largest decoded
# picture (3 bytes a pixel) plus 100 MB.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
runs=${RUNS:-3}
bench=$build/bench/batch_bench
work=$(mktemp -d /tmp/suotu-batch-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT

[[ -x $bench ]] || { echo "build $bench first" >&2; exit 1; }
scripts/samples.sh >/dev/null
mkdir -p "$work/in" "$work/out"
n=0
for f in build/samples/photos/*.jpg; do
  n=$((n + 1))
  cp "$f" "$work/in/p$n-orig.jpg"
  djpeg "$f" | cjpeg -quality 90 >"$work/in/p$n-base.jpg"
  djpeg "$f" | cjpeg -quality 85 -progressive >"$work/in/p$n-prog.jpg"
done
files=("$work"/in/*.jpg)

best_ms() {  # best wall time of $runs runs of "$@", in milliseconds
  local best=
  for ((i = 0; i < runs; i++)); do
    local t0 t1
    t0=$(date +%s%N)
    "$@" >/dev/null 2>&1
    t1=$(date +%s%N)
    local ms=$(((t1 - t0) / 1000000))
    if [[ -z $best || $ms -lt $best ]]; then best=$ms; fi
  done
  echo "$best"
}
djpeg_loop() { for f in "${files[@]}"; do djpeg -dct float -outfile /dev/null "$f"; done; }

largest=0
for f in "${files[@]}"; do
  read -r w h < <(djpeg "$f" | head -c 64 | awk 'NR==2 {print $1, $2}')
  ((w * h > largest)) && largest=$((w * h))
done
floor=$(best_ms djpeg_loop)
batch=$(best_ms "$bench" "$work/out" 200 "${files[@]}")
peak_kb=$(/usr/bin/time -f %M "$bench" "$work/out" 200 "${files[@]}" 2>&1 >/dev/null | tail -1)
awk -v n="${#files[@]}" -v fl="$floor" -v b="$batch" -v p="$peak_kb" -v px="$largest" 'BEGIN {
  printf "files %d  djpeg loop %d ms  batch %d ms  ratio %.2f (target 0.60)\n", n, fl, b, b / fl
  printf "peak %.1f MB  limit %.1f MB (4 x %.1f MP decoded + 100 MB)\n", p / 1024,
         (4 * px * 3) / 1048576 + 100, px / 1e6 }'
