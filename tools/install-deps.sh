#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing RFID need.
# Does nothing when they are all there already.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite
  libusb-dev libudev-dev
  umockdev libumockdev-dev libxcb1-dev
  libqt6sql6-psql postgresql
  libgtest-dev libgmock-dev
  clang libclang-rt-14-dev
  qt6-charts-dev libqt6opengl6-dev poppler-utils
  fonts-dejavu-core fonts-wqy-microhei
  xvfb xauth imagemagick xdotool
  desktop-file-utils appstream dpkg-dev file
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -o DPkg::Lock::Timeout=300
$sudo apt-get install -y --no-install-recommends -o DPkg::Lock::Timeout=300 "${missing[@]}"
