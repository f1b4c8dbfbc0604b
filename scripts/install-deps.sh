#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need; skips what is installed.
set -euo pipefail
pkgs=(cmake make g++ pkg-config qt6-base-dev qt6-charts-dev libqt6opengl6-dev libgl1-mesa-dev libjpeg62-turbo-dev
      libfftw3-dev libeigen3-dev libsimpleini-dev libgtest-dev libgmock-dev libbenchmark-dev
      xvfb xauth x11-utils xdotool imagemagick fonts-dejavu-core clang libclang-rt-14-dev)
missing=()
for p in "${pkgs[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
echo "installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
