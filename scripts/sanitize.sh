#!/usr/bin/env bash
# Builds the whole test suite with AddressSanitizer + UndefinedBehaviorSanitizer
# (gcc, preset "asan") and runs it through ctest, which wraps the tests that
# open sockets in the private test LAN. Fails on any failing test and on any
# sanitizer report, also one written by a child process (the device emulator)
# whose output no test looks at.
#
#   scripts/sanitize.sh [ctest arguments...]      e.g. -R 'tavo|app'
#
# Environment: ARDEL_ASAN_DIR (default build-asan), ARDEL_JOBS (default: every core).
set -euo pipefail
. "$(dirname "$0")/lib.sh"
ardel_as_root "$@"
cd "$ARDEL_ROOT"
dir="$(realpath -m "${ARDEL_ASAN_DIR:-build-asan}")"

scripts/setup.sh
ardel_configure asan "$dir"
ardel_build "$dir"

reports="$dir/sanitizer-reports"
rm -rf "$reports"
mkdir -p "$reports"
ardel_sanitizer_env "$reports"
ardel_runtime_dir

rc=0
ctest --test-dir "$dir" --output-on-failure -j"$ARDEL_JOBS" "$@" || rc=$?

found=0
for f in "$reports"/*; do
  [ -e "$f" ] || continue
  if grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer)|runtime error:|SUMMARY: UndefinedBehaviorSanitizer' "$f"; then
    found=1
    echo "=== sanitizer report: $f"
    cat "$f"
  fi
done
if [ "$found" = 1 ]; then
  echo "sanitize.sh: sanitizer reports found (see above)" >&2
  exit 1
fi
if [ "$rc" != 0 ]; then
  echo "sanitize.sh: ctest failed ($rc)" >&2
  exit "$rc"
fi
echo "sanitize.sh: all tests passed, no sanitizer reports"
