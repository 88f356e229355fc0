#!/usr/bin/env bash
# Installs every Debian package Zarn builds, tests and runs with. Idempotent:
# apt is only asked when something is missing. Runs as root or through sudo.
set -euo pipefail

PACKAGES=(
  # toolchain
  build-essential cmake pkg-config clang libclang-rt-14-dev
  # engine
  libirrlicht-dev libepoxy-dev libx11-dev libxrandr-dev libgl-dev
  glslang-dev glslang-tools spirv-tools spirv-cross libspirv-cross-c-shared-dev
  liblua5.3-dev libiniparser-dev libzip-dev libmpg123-dev libsdl2-dev
  # COLLADA effect documents
  libpugixml-dev
  # demo capture straight to video
  libavcodec-dev libavformat-dev libswscale-dev libswresample-dev
  libpng-dev libjpeg-dev zlib1g-dev libfreetype-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # a TrueType font for the text tests; the peer decoder of the HDR benchmark
  fonts-dejavu-core libstb-dev
  # headless rendering
  xvfb xauth libgl1-mesa-dri mesa-utils
  # benchmark peer only (packaging speed is compared with Info-ZIP's zip)
  zip
  # test data (short MP3s)
  lame sox
  # the demo capture tests look at the videos
  ffmpeg
  # man pages from the --help texts, and the Debian package's dependencies
  help2man dpkg-dev
  # the scene exporter add-on is tested in headless Blender
  blender
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}"
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -qq
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
