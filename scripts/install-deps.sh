#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Demosys needs.
# Idempotent: packages already present are left alone, and apt is not touched at all
# when nothing is missing.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config
  libglfw3-dev libglew-dev libglm-dev
  libarchive-dev liblzma-dev libdevil-dev libstb-dev libpng-dev zlib1g-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  xvfb xauth libgl1-mesa-dri libglx-mesa0 libegl-dev libegl-mesa0 mesa-utils xdotool
  libmpg123-dev libsdl1.2-dev libkissfft-dev lame sox libsox-fmt-mp3
  libassimp-dev vpx-tools libvpx-dev libfltk1.3-dev
  libfreetype-dev fonts-dejavu-core
  libcivetweb-dev nlohmann-json3-dev libcli11-dev
  p7zip-full python3 imagemagick ffmpeg
  chromium chromium-driver python3-selenium
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#PACKAGES[@]} packages present"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
