#!/usr/bin/env bash
# Installs what building, running and testing Suotu needs on Debian 12.
# Idempotent: apt is asked only for packages that are not installed yet.
#   scripts/setup.sh          build and run dependencies
#   scripts/setup.sh --test   also the peers the tests and benchmarks compare against
#   scripts/setup.sh --virtual-display   also the X server and tools ./run uses without a display
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config
  qt6-base-dev libgl-dev
  libjpeg62-turbo-dev libpng-dev
  libfreetype-dev libfontconfig-dev fonts-wqy-zenhei
  adwaita-icon-theme  # the 16-pixel icons of the folder tree's system image list
  fonts-dejavu-core  # the Latin sans face text resolves to (sizes are checked against it)
  xdg-utils  # xdg-open: the link label opens its address with the desktop's handler
  libglib2.0-dev  # GIO: the shell's delete verb moves folders to the freedesktop trash
  libgtest-dev libgmock-dev libbenchmark-dev
  libxcb1-dev  # end-to-end tests and the start-up benchmark read the X screen's pixels
)
if [[ "${1:-}" == "--virtual-display" ]]; then
  packages+=(xvfb xauth xdotool imagemagick)
fi
if [[ "${1:-}" == "--test" ]]; then
  # cjpeg/djpeg and ImageMagick are the reference peers of the image tests and benchmarks;
  # clang brings libFuzzer for the fuzz targets; clang-format checks the formatting.
  packages+=(libjpeg-turbo-progs imagemagick clang clang-format time)
  # An X server and its tools for the controls demonstration's screenshot and for suites
  # that need a real display.
  packages+=(xvfb xauth xdotool xclip x11-apps)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=()
  if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=600 update -q
  "${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends "${missing[@]}"
fi

# The sample photographs of the demonstration, the end-to-end tests and the benchmarks.
"$(dirname "$0")/samples.sh"
