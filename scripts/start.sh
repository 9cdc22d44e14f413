#!/usr/bin/env bash
# Starts what the release build holds. Until the main window lands, that is the thumbnail
# engine's demonstration over the sample photos.
set -euo pipefail
cd "$(dirname "$0")/.."
if [[ -x build/release/tools/suotu-thumb ]]; then
  exec scripts/demo.sh "$@"
fi
echo "Suotu: the engine libraries are built in build/release; run ./test to exercise them."
