#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need, if any are missing.
# Runs apt-get as root, or through sudo.
set -euo pipefail

# xvfb-run needs xauth, which xvfb only recommends. help2man writes the manual page; dpkg-dev
# and file let CPack read the package's dependencies from the program; groff-base and
# desktop-file-utils check the manual page and the menu entry in the tests.
packages=(
  g++ cmake make pkg-config
  libgtest-dev libbenchmark-dev
  freeglut3-dev libgl1-mesa-dev libglu1-mesa-dev mesa-utils
  libx11-dev libxtst-dev libxdamage-dev xvfb xauth xdotool x11-apps netpbm
  libcli11-dev libpng-dev libegl-dev libhwy-dev
  help2man dpkg-dev file groff-base desktop-file-utils
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
