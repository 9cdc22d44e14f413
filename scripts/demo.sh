#!/usr/bin/env bash
# The thumbnail engine's demonstration: thumbnails at width "200" of the sample photographs
# and of the generated corner cases, written to out/, one line per file (name, size, time).
set -euo pipefail
cd "$(dirname "$0")/.."
bin=build/release/tools
mkdir -p out build/samples/generated
"$bin/suotu-samples" build/samples/generated >/dev/null
shopt -s nullglob
photos=(build/samples/photos/*.jpg)
generated=(build/samples/generated/*.jpg)
echo "Suotu: thumbnails at width 200 into out/ (file, size, milliseconds)"
for f in "${photos[@]}" "${generated[@]}"; do
  # One run per file, so a picture that cannot make a thumbnail (a strip too thin for one
  # row) reports its failure and the others go on.
  if ! "$bin/suotu-thumb" --out out 200 "$f"; then
    echo "  ($(basename "$f"): no thumbnail, see the message above)"
  fi
done
