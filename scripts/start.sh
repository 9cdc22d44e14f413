#!/usr/bin/env bash
# Starts the program from the release build. Without a display it runs on a virtual X
# display, saves a screenshot of the main window as out/suotu-window.png and ends it.
set -euo pipefail
cd "$(dirname "$0")/.."
program=build/release/app/suotu
if [[ ! -x $program ]]; then
  echo "Suotu: $program is missing; run ./run to build it." >&2
  exit 1
fi
if [[ -n ${DISPLAY:-} || -n ${WAYLAND_DISPLAY:-} ]]; then
  exec "$program" "$@"
fi
echo "No display (DISPLAY and WAYLAND_DISPLAY unset): running on a virtual X display; screenshot in out/suotu-window.png."
for tool in xvfb-run xdotool import; do
  command -v "$tool" >/dev/null || { scripts/setup.sh --virtual-display >/dev/null; break; }
done
mkdir -p out
export SUOTU_PROGRAM=$program
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  "$SUOTU_PROGRAM" & pid=$!
  # The main window once it is mapped; a moment more for its first paint.
  id=$(timeout 30 xdotool search --sync --onlyvisible --pid "$pid" 2>/dev/null | head -n 1 || true)
  sleep 1
  if [[ -n $id ]]; then
    import -window "$id" +repage out/suotu-window.png
  else
    import -window root out/suotu-window.png
  fi
  kill "$pid"; wait "$pid" 2>/dev/null || true'
