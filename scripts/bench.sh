#!/usr/bin/env bash
# End-to-end benchmarks of Ardel on the private virtual LAN: builds the
# benchmark programs (preset "bench", RelWithDebInfo) and runs them inside scripts/netns-run.sh,
# printing their figures. Not part of .ci/run: the figures depend on the
# machine's load, which the script prints beside them.
#
#   scripts/bench.sh [BUILD_DIR] [what...]
#   what: small big huge flood tavo tavo2000 cli startup startup-xvfb (default: all but huge, tavo2000 and flood)
#   REPEAT=N runs every benchmark N times (default 2).
set -euo pipefail
. "$(dirname "$0")/lib.sh"
build="${1:-$ARDEL_ROOT/build-bench}"
shift || true
what=("$@")
[ ${#what[@]} -gt 0 ] || what=(small big tavo cli startup startup-xvfb)
repeat="${REPEAT:-2}"

if [ -z "${ARDEL_DEV_NS:-}" ]; then
  ardel_configure bench "$build"
  ardel_build "$build" bench_refresh bench_flood bench_bare_window ardel ardel-cli ardel-devsim
  exec "$ARDEL_ROOT/scripts/netns-run.sh" -- "$0" "$build" "${what[@]}"
fi

build="$(cd "$build" && pwd)"
bench="$build/bench/bench_refresh"
export ARDEL_DEVSIM="$build/tools/devsim/ardel-devsim"
export QT_QPA_PLATFORM=offscreen
ardel_runtime_dir

echo "# $(date -Is)  $(nproc) cores  load $(cut -d' ' -f1-3 /proc/loadavg)  build $(grep -m1 CMAKE_BUILD_TYPE: "$build/CMakeCache.txt" | cut -d= -f2)"
# Qt's harmless offscreen warnings would drown the figures.
quiet() { "$@" 2> >(grep -v -e propagateSizeHints -e 'QStandardPaths' >&2); }

for w in "${what[@]}"; do
  for ((i = 1; i <= repeat; i++)); do
    case "$w" in
      small) quiet "$bench" discovery --devices 2000 --spread 50 --refreshes 3 ;;
      big) quiet "$bench" discovery --devices 10000 --spread 200 --refreshes 3 --extras ;;
      huge) quiet "$bench" discovery --devices 65000 --spread 1000 --refreshes 1 --extras ;;
      tavo) quiet "$bench" tavo --devices 500 --spread 0 ;;
      tavo2000) quiet "$bench" tavo --devices 2000 --spread 0 --goal 1.10 ;;
      flood) quiet "$build/bench/bench_flood" --count 200000 --sources 20000 --rounds 1 ;;
      cli) quiet "$bench" cli --cli "$build/tools/cli/ardel-cli" --devices 10000 --spread 200 --refreshes 3 ;;
      startup) quiet "$bench" startup --ardel "$build/app/ardel" --bare "$build/bench/bench_bare_window" --reps 7 ;;
      startup-xvfb)
        if command -v xvfb-run >/dev/null; then
          QT_QPA_PLATFORM=xcb quiet xvfb-run -a -s "-screen 0 1280x800x24" \
            "$bench" startup --ardel "$build/app/ardel" --bare "$build/bench/bench_bare_window" --reps 7
        else
          echo "startup-xvfb: xvfb-run not installed, skipped"
        fi ;;
      *) echo "unknown benchmark $w" >&2; exit 2 ;;
    esac
    echo "# load $(cut -d' ' -f1-3 /proc/loadavg)"
  done
done
