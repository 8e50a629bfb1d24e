#!/usr/bin/env bash
# Installs everything Ardel needs on a fresh Debian 12 machine:
#   scripts/setup.sh [more packages...]
set -euo pipefail
. "$(dirname "$0")/lib.sh"
ardel_as_root "$@"
packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libqt6sql6-sqlite qt6-qpa-plugins
  libgtest-dev libgmock-dev libbenchmark-dev libspdlog-dev
  clang libclang-rt-14-dev clang-format
  iproute2 procps psmisc libcap2-bin
  xvfb xauth x11-utils imagemagick fonts-liberation fonts-dejavu-core
  python3
  "$@"
)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
