#!/usr/bin/env bash
# Installs what building, testing and running Kestrova need on Debian. Safe to run again.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev
  # HEVC and AV1 image items in the window (Debian's libheif1 has its decoders built in)
  libheif-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev libcli11-dev
  ffmpeg mediainfo
  # oracles of the tag tests
  libimage-exiftool-perl atomicparsley libheif-examples
  # the fuzz build: clang and its sanitizer and libFuzzer runtimes, of the
  # default version (14 on Debian 12)
  clang libclang-rt-dev
  xvfb xauth imagemagick fonts-dejavu-core fonts-nanum
  librsvg2-bin desktop-file-utils appstream file
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q
  $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
