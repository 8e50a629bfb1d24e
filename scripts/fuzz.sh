#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan; preset "fuzz") in build-fuzz and runs
# each for the given time, one after the other on one core. Fails on any
# crash, sanitizer report, leak, timeout or failed check.
#
#   scripts/fuzz.sh [seconds-per-target] [target...]
#       seconds-per-target  default 60; a few seconds make a CI smoke run
#       target              fuzz_tavo_codec fuzz_text fuzz_plain_reply
#                           fuzz_tavo_packet fuzz_tcp_stream fuzz_echo_filter
#                           fuzz_discovery_reply fuzz_aetei_reply fuzz_decimal_text
#                           (default: all)
#
# Environment: ARDEL_FUZZ_DIR (default build-fuzz), ARDEL_JOBS (build jobs,
# default: every core).
#
# Each target starts from its committed seeds (fuzz/corpus/<target>) plus
# what earlier runs found (<build>/fuzz-corpus/<target>, kept between runs).
# A finding is written to <build>/fuzz-artifacts/<target>/; replay it with
#   <build>/fuzz/<target> <file>
set -euo pipefail
. "$(dirname "$0")/lib.sh"
ardel_as_root "$@"
cd "$ARDEL_ROOT"
root="$ARDEL_ROOT"
secs="${1:-60}"
shift || true
case "$secs" in (*[!0-9]*|'') echo "usage: $0 [seconds-per-target] [target...]" >&2; exit 2 ;; esac
all=(fuzz_tavo_codec fuzz_text fuzz_plain_reply fuzz_tavo_packet fuzz_tcp_stream fuzz_echo_filter
     fuzz_discovery_reply fuzz_aetei_reply fuzz_decimal_text)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${all[@]}")
dir="${ARDEL_FUZZ_DIR:-build-fuzz}"

# clang, compiler-rt (libFuzzer) and the rest, when missing.
scripts/setup.sh
ardel_configure fuzz "$dir"
ardel_build "$dir" "${targets[@]}"

# Reports go to each target's log, where the checks below look for them.
ardel_sanitizer_env
export QT_QPA_PLATFORM=offscreen
ardel_runtime_dir

failed=()
summary=()
for t in "${targets[@]}"; do
  exe="$root/$dir/fuzz/$t"
  [ -x "$exe" ] || { echo "no such fuzz target: $t" >&2; exit 2; }
  work="$root/$dir/fuzz-corpus/$t"
  art="$root/$dir/fuzz-artifacts/$t"
  log="$root/$dir/fuzz-logs/$t.log"
  mkdir -p "$work" "$art" "$(dirname "$log")"
  rm -f "$art"/crash-* "$art"/leak-* "$art"/timeout-* "$art"/oom-* "$art"/slow-unit-*

  echo "=== $t: ${secs}s"
  rc=0
  "$exe" -max_total_time="$secs" -timeout=25 -rss_limit_mb=4096 -print_final_stats=1 \
    -artifact_prefix="$art/" "$work" "$root/fuzz/corpus/$t" >"$log" 2>&1 || rc=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  units=$(find "$work" -type f | wc -l)
  status=ok
  # A slow unit is only a timing note (a loaded machine makes any input slow);
  # a real hang is a timeout (-timeout) and fails.
  if [ "$rc" != 0 ] || ls "$art" | grep -v '^slow-unit-' | grep -q . \
     || grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:|fuzz check failed' "$log"; then
    status="FAILED (rc $rc)"
    failed+=("$t")
    grep -E -A30 'ERROR: |runtime error:|fuzz check failed' "$log" | head -60 || true
    ls -l "$art" || true
  fi
  summary+=("$(printf '%-18s %12s execs %8s exec/s %6s corpus  %s' "$t" "${execs:-?}" "${rate:-?}" "$units" "$status")")
done

echo
echo "=== fuzz summary (${secs}s per target; logs in $dir/fuzz-logs)"
printf '%s\n' "${summary[@]}"
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz.sh: findings in: ${failed[*]}" >&2
  exit 1
fi
