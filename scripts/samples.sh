#!/usr/bin/env bash
# Unpacks the sample photographs under build/samples/photos: real photographs from Debian's
# wallpaper package (fetched with apt-get download, never committed). Idempotent.
set -euo pipefail
cd "$(dirname "$0")/.."
dest=build/samples
package=lomiri-wallpapers-16.04
if [[ -f $dest/.unpacked ]]; then exit 0; fi
mkdir -p "$dest/deb" "$dest/photos"
(
  cd "$dest/deb"
  fetch() { apt-get download "$package" 2>&1 | grep -v -e 'unsandboxed' -e '^Get:' -e '^Fetched' || true; }
  if ! ls ${package}_*.deb >/dev/null 2>&1; then
    fetch
    # A fresh machine may have no package lists yet.
    if ! ls ${package}_*.deb >/dev/null 2>&1; then
      apt-get -o DPkg::Lock::Timeout=600 update -q >/dev/null 2>&1 || true
      fetch
    fi
  fi
  if ! ls ${package}_*.deb >/dev/null 2>&1; then
    echo "samples: could not fetch $package; the sample photographs are missing" >&2
    exit 0
  fi
  dpkg-deb -x ${package}_*.deb root
)
[[ -d $dest/deb/root ]] || exit 0
for f in "$dest"/deb/root/usr/share/backgrounds/*.jpg; do
  cp -f "$f" "$dest/photos/"
done
touch "$dest/.unpacked"
echo "samples: $(ls "$dest/photos" | wc -l) photographs in $dest/photos"
