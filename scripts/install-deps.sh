#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need; skips what is installed.
set -euo pipefail
pkgs=(cmake make g++ pkg-config qt6-base-dev qt6-charts-dev libqt6opengl6-dev libgl1-mesa-dev libjpeg62-turbo-dev
      libfftw3-dev libeigen3-dev libsimpleini-dev libgtest-dev libgmock-dev libbenchmark-dev
      xvfb xauth x11-utils xdotool imagemagick fonts-dejavu-core clang libclang-rt-14-dev clang-format
      locales libc-l10n libcpp-httplib-dev prometheus nlohmann-json3-dev dpkg-dev desktop-file-utils)
missing=()
for p in "${pkgs[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
if [ ${#missing[@]} -ne 0 ]; then
    echo "installing: ${missing[*]}"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
# A German desktop locale: the tests run the program under it (its texts and numbers must not
# follow the desktop's language).
if ! locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8'; then
    echo "generating the de_DE.UTF-8 locale"
    $SUDO localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
