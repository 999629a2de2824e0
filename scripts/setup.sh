#!/usr/bin/env bash
# Installs every Debian package VELMORA needs to build, run, test and benchmark.
# Safe to run again: packages already present are left alone, and the package
# lists are refreshed at most once per run.
set -euo pipefail

PACKAGES=(
  # build
  cmake g++ ninja-build pkg-config
  # packaging: manual pages from --help, the package's library dependencies
  help2man dpkg-dev
  # run and link
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev
  libgl-dev libgl1-mesa-dev libglu1-mesa-dev libegl-dev libegl1-mesa-dev libgl1-mesa-dri
  libjpeg-dev libpng-dev libfreetype-dev libfontconfig-dev libassimp-dev libfftw3-dev
  fonts-liberation fonts-wqy-microhei fonts-urw-base35
  # tests, fuzzing and benchmarks
  libgtest-dev googletest libbenchmark-dev xvfb xauth openbox locales-all
  clang libclang-rt-14-dev python3 python3-numpy
  assimp-testmodels glmark2-data
  # checking the package (scripts/package.sh, scripts/package-check.sh)
  lintian debootstrap
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all ${#PACKAGES[@]} packages are installed"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then SUDO="sudo"; else
    echo "setup: missing packages (${missing[*]}) and not root; run as root" >&2
    exit 1
  fi
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
