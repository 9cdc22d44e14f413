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
mkdir -p "$work/in" "$work/out" "$work/one"
n=0
for f in build/samples/photos/*.jpg; do
  n=$((n + 1))
  cp "$f" "$work/in/p$n-orig.jpg"
  djpeg "$f" | cjpeg -quality 90 >"$work/in/p$n-base.jpg"
  djpeg "$f" | cjpeg -quality 85 -progressive >"$work/in/p$n-prog.jpg"
done
files=("$work"/in/*.jpg)

# The run of the djpeg loop with the least wall time: "WALL_MS CPU_MS".
djpeg_best() {
  local best=
  for ((i = 0; i < runs; i++)); do
    local line
    line=$(/usr/bin/time -f "%e %U %S" bash -c \
      'for f in "$@"; do djpeg -dct float -outfile /dev/null "$f"; done' _ "${files[@]}" 2>&1 |
      tail -1 | awk '{printf "%d %d", $1 * 1000, ($2 + $3) * 1000}')
    if [[ -z $best || ${line%% *} -lt ${best%% *} ]]; then best=$line; fi
  done
  echo "$best"
}
# The run of batch_bench with the least wall time: "WALL_MS CALLING_THREAD_CPU_MS CPU_MS".
batch_best() {
  local best=
  for ((i = 0; i < runs; i++)); do
    local line
    line=$("$@" 2>/dev/null | tail -1)
    if [[ -z $best || ${line%% *} -lt ${best%% *} ]]; then best=$line; fi
  done
  echo "$best"
}

largest=0
for f in "${files[@]}"; do
  read -r w h < <(djpeg "$f" | head -c 64 | awk 'NR==2 {print $1, $2}')
  ((w * h > largest)) && largest=$((w * h))
done
read -r floor floor_cpu < <(djpeg_best)
read -r batch batch_gui batch_cpu < <(batch_best "$bench" "$work/out" 200 "${files[@]}")
read -r single _ single_cpu < <(batch_best "$bench" --one-thread "$work/one" 200 "${files[@]}")
peak_kb=$(/usr/bin/time -f %M "$bench" "$work/out" 200 "${files[@]}" 2>&1 >/dev/null | tail -1)
# Both ways write the same files.
diff -r "$work/out" "$work/one" >/dev/null || { echo "the two runs wrote different files" >&2; exit 1; }
awk -v n="${#files[@]}" -v fl="$floor" -v flc="$floor_cpu" -v b="$batch" -v bg="$batch_gui" \
    -v bc="$batch_cpu" -v s="$single" -v sc="$single_cpu" -v p="$peak_kb" -v px="$largest" \
    -v load="$(cut -d' ' -f1 /proc/loadavg)" 'BEGIN {
  printf "files %d  load average %s on %d cores\n", n, load, 2
  printf "djpeg loop %d ms (processor %d ms)\n", fl, flc
  printf "batch      %d ms  ratio %.2f (target 0.60)  processor %d ms, %d ms of it on the calling thread\n",
         b, b / fl, bc, bg
  printf "one thread %d ms  ratio %.2f  processor %d ms\n", s, s / fl, sc
  printf "processor-time ratio %.2f; on two free cores the batch takes about %.2f of the loop\n",
         bc / flc, (bg > bc / 2 ? bg : bc / 2) / flc
  printf "peak %.1f MB  limit %.1f MB (4 x %.1f MP decoded + 100 MB)\n", p / 1024,
         (4 * px * 3) / 1048576 + 100, px / 1e6 }'
