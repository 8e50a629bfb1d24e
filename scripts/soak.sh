#!/usr/bin/env bash
# Soak of the main window on the private virtual LAN: a refresh of 2,000
# emulated devices every 3 s for an hour, a TAVOW pass every 10th time, the
# log cut many times on the way. Prints the memory after the first five
# minutes and its growth, lost replies, refreshes short of a device and the
# log file's checks (within its limit, whole lines). Not part of .ci/run.
#
#   scripts/soak.sh [BUILD_DIR] [bench_refresh soak options]
#   e.g. scripts/soak.sh build-bench --minutes 10
#   options: --devices N (2000) --spread MS (50) --minutes M (60)
#            --period MS (3000) --tavo-every K (10) --tavo-share F (0.25)
set -euo pipefail
. "$(dirname "$0")/lib.sh"
build="${1:-$ARDEL_ROOT/build-bench}"
shift || true

if [ -z "${ARDEL_DEV_NS:-}" ]; then
  ardel_configure bench "$build"
  ardel_build "$build" bench_refresh ardel-devsim
  exec "$ARDEL_ROOT/scripts/netns-run.sh" -- "$0" "$build" "$@"
fi

build="$(cd "$build" && pwd)"
export ARDEL_DEVSIM="$build/tools/devsim/ardel-devsim"
export QT_QPA_PLATFORM=offscreen
ardel_runtime_dir
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
echo "# $(date -Is)  $(nproc) cores  load $(cut -d' ' -f1-3 /proc/loadavg)"
"$build/bench/bench_refresh" soak --devices 2000 --spread 50 "$@" 2> >(grep -v -e propagateSizeHints -e QStandardPaths >&2)
