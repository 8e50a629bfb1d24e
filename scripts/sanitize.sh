#!/usr/bin/env bash
# Builds the whole test suite with AddressSanitizer + UndefinedBehaviorSanitizer
# (gcc, -DARDEL_SANITIZE=ON) and runs it through ctest, which wraps every test
# in the private test LAN. Fails on any failing test and on any sanitizer
# report, also one written by a child process (the device emulator) whose
# output no test looks at.
#
#   scripts/sanitize.sh [ctest arguments...]      e.g. -R 'tavo|app'
#
# Environment: ARDEL_ASAN_DIR (default build-asan), ARDEL_JOBS (default 2).
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "$(id -u)" != 0 ]; then
  exec sudo -E "$0" "$@"
fi
root="$PWD"
dir="${ARDEL_ASAN_DIR:-build-asan}"
jobs="${ARDEL_JOBS:-2}"

scripts/setup.sh
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DARDEL_SANITIZE=ON -DARDEL_BUILD_BENCH=OFF -DARDEL_BUILD_FUZZ=OFF >/dev/null
cmake --build "$dir" -j"$jobs"

reports="$root/$dir/sanitizer-reports"
rm -rf "$reports"
mkdir -p "$reports"
# Every process writes its reports to a file of its own (name.pid), so a
# report of the emulator or of a test that swallowed its stderr is not lost.
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:abort_on_error=0:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:log_path=$reports/asan"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:log_path=$reports/ubsan"
# Qt and fontconfig keep a few allocations until exit; only those are suppressed.
export LSAN_OPTIONS="suppressions=$root/fuzz/lsan.supp:print_suppressions=0"
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-/tmp/ardel-xdg-$$}"
mkdir -p -m 0700 "$XDG_RUNTIME_DIR"

rc=0
ctest --test-dir "$dir" --output-on-failure -j"$jobs" "$@" || rc=$?

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
