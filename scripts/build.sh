#!/usr/bin/env bash
# Configures (preset "default") and builds Ardel with every core:
#   scripts/build.sh [build-dir] [cmake options...]
set -euo pipefail
. "$(dirname "$0")/lib.sh"
dir="${1:-$ARDEL_ROOT/build}"
shift || true
ardel_configure default "$dir" "$@"
ardel_build "$dir"
