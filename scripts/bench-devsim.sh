#!/usr/bin/env bash
# Scale check of the device emulator: N generated devices answer one "X"
# broadcast (and the TAVO share one "CETEI" broadcast) within the answer
# spread; prints how many replies arrived, how many the emulator says it sent,
# the arrival spread and the emulator's peak memory.
#
#   scripts/bench-devsim.sh [BUILD_DIR] [N] [SPREAD_MS] [TAVO_SHARE]
#   defaults: build-devsim 10000 200 0.1
#
# Runs itself inside scripts/netns-run.sh: nothing touches real interfaces.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../build-devsim}"
count="${2:-10000}"
spread="${3:-200}"
share="${4:-0.1}"

if [ -z "${ARDEL_DEV_NS:-}" ]; then
  exec "$here/netns-run.sh" -- "$0" "$build" "$count" "$spread" "$share"
fi

exe="$(cd "$build" && pwd)/tools/devsim/ardel-devsim"
[ -x "$exe" ] || { echo "no emulator at $exe (build the ardel-devsim target)" >&2; exit 2; }

exec python3 "$here/bench-devsim.py" "$exe" "$count" "$spread" "$share"
