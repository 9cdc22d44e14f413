#!/usr/bin/env bash
# The thumbnail engine against other tools, on the same photographs, in one run.
#
#   bench/thumbs_bench.sh [BUILD_DIR]     (default build/release; needs djpeg, ImageMagick)
#
# For each photograph (about 24, 12 and 2 megapixels, made from the sample photographs):
#   engine   suotu-thumb at "200": load, decode, stretch, frame, encode, write
#   floor    djpeg -dct float -outfile /dev/null: a full-size decode and nothing else
#   magick   ImageMagick: convert FILE -resize 200x -quality 90 OUT
# Times are the best of RUNS whole-process runs; each is printed as a ratio to the floor.
# Peak memory is our process's maximum resident set, against the decoded image (3 bytes a
# pixel) and the file size.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
runs=${RUNS:-5}
thumb=$build/tools/suotu-thumb
convert=/usr/bin/convert  # Debian's ImageMagick, whatever comes first in PATH
work=$(mktemp -d /tmp/suotu-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT

[[ -x $thumb ]] || { echo "build $thumb first" >&2; exit 1; }
scripts/samples.sh >/dev/null
photos=build/samples/photos

# The photographs: a real 13-megapixel photo as it is (progressive, 4:2:2) and re-encoded as a
# baseline file, and a 24- and a 2-megapixel baseline JPEG made from real photos with cjpeg.
# A progressive file needs the library's whole-image coefficient buffer beside the decoded
# picture, so its peak memory is higher than a baseline file's.
"$convert" "$photos/Dragonfly_by_Bolly.jpg" -resize 6000x4000! ppm:- |
  cjpeg -quality 92 -dct float >"$work/photo-24mp.jpg"
cp "$photos/Dragonfly_by_Bolly.jpg" "$work/photo-13mp-prog.jpg"
djpeg "$photos/Dragonfly_by_Bolly.jpg" | cjpeg -quality 92 -dct float >"$work/photo-13mp.jpg"
"$convert" "$photos/sunset_by_Aitzol_Berasategi.jpg" -resize 1728x1152! ppm:- |
  cjpeg -quality 92 -dct float >"$work/photo-2mp.jpg"

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

printf '%-18s %7s %9s %9s %9s %8s %8s %10s %8s\n' photo MP floor_ms engine_ms magick_ms \
  engine_x magick_x peak_MB peak_lim
for f in "$work"/photo-24mp.jpg "$work"/photo-13mp.jpg "$work"/photo-13mp-prog.jpg \
  "$work"/photo-2mp.jpg; do
  read -r w h < <(djpeg -dct float "$f" | head -c 64 | awk 'NR==2 {print $1, $2}')
  floor=$(best_ms djpeg -dct float -outfile /dev/null "$f")
  engine=$(best_ms "$thumb" --out "$work" 200 "$f")
  magick=$(best_ms "$convert" "$f" -resize 200x -quality 90 "$work/magick.jpg")
  peak_kb=$(/usr/bin/time -f %M "$thumb" --out "$work" 200 "$f" 2>&1 >/dev/null | tail -1)
  size=$(stat -c %s "$f")
  limit_mb=$(awk -v w="$w" -v h="$h" -v s="$size" 'BEGIN {printf "%.1f", (2.2*w*h*3 + s)/1048576}')
  awk -v n="$(basename "$f" .jpg)" -v w="$w" -v h="$h" -v fl="$floor" -v e="$engine" \
      -v m="$magick" -v p="$peak_kb" -v lim="$limit_mb" 'BEGIN {
    printf "%-18s %7.1f %9d %9d %9d %8.2f %8.2f %10.1f %8s\n", n, w*h/1e6, fl, e, m,
           e/fl, m/fl, p/1024, lim }'
done
