#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test. Every test runs inside
# private network namespaces (scripts/netns-run.sh): nothing reaches the
# machine's real interfaces.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "$(id -u)" != 0 ]; then
  exec sudo -E "$0" "$@"
fi
scripts/setup.sh
scripts/build.sh build
ctest --test-dir build --output-on-failure -j"$(nproc)" "$@"
