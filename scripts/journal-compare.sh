#!/usr/bin/env bash
# Runs the end-to-end journal flows (discovery refresh, TAVOW refresh, MAC
# write over TCP) against the device emulator and prints what the devices
# received, without times and ephemeral ports. Two builds behave alike on the
# wire when their outputs are equal:
#
#   scripts/journal-compare.sh [build-dir] > before.jsonl
#   ... change the code ...
#   scripts/journal-compare.sh [build-dir] > after.jsonl && cmp before.jsonl after.jsonl
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "$(id -u)" != 0 ]; then
  exec sudo -E "$0" "$@"
fi
dir="${1:-build}"
cmake --build "$dir" --target test_e2e_journal_flows_test ardel-devsim -j"${ARDEL_JOBS:-2}" >&2
out="$(mktemp)"
trap 'rm -f "$out"' EXIT
QT_QPA_PLATFORM=offscreen ARDEL_SOURCE_DIR="$PWD" ARDEL_DEVSIM="$PWD/$dir/tools/devsim/ardel-devsim" \
  ARDEL_JOURNAL_OUT="$out" scripts/netns-run.sh -- "$dir/tests/test_e2e_journal_flows_test" >&2
cat "$out"
