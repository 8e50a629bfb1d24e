# What the scripts share; sourced, not run:  . "$(dirname "$0")/lib.sh"
# Sets ARDEL_ROOT (the source tree) and ARDEL_JOBS (build and ctest jobs:
# every core unless the caller sets it).

ARDEL_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
ARDEL_JOBS="${ARDEL_JOBS:-$(nproc)}"

# ardel_as_root "$@": runs the calling script again through sudo unless it is
# root already (network namespaces, setcap, apt-get).
ardel_as_root() {
  [ "$(id -u)" = 0 ] || exec sudo -E "$0" "$@"
}

# ardel_at_exit CMD [ARGS...]: runs the command when the script ends, however
# it ends (not after an exec); the last registered runs first.
_ardel_at_exit=()
_ardel_on_exit() {
  local i
  for ((i = ${#_ardel_at_exit[@]} - 1; i >= 0; i--)); do eval "${_ardel_at_exit[i]}" || true; done
}
trap _ardel_on_exit EXIT
ardel_at_exit() {
  local cmd
  printf -v cmd '%q ' "$@"
  _ardel_at_exit+=("$cmd")
}
ardel_remove_at_exit() { ardel_at_exit rm -rf -- "$@"; }

# ardel_tempdir VAR [template]: a fresh directory in VAR, removed at exit.
ardel_tempdir() {
  local d
  d="$(mktemp -d "/tmp/${2:-ardel.XXXXXX}")"
  ardel_remove_at_exit "$d"
  printf -v "$1" '%s' "$d"
}

# ardel_runtime_dir: a private XDG_RUNTIME_DIR (Qt wants one; a root shell has
# none), removed at exit.
ardel_runtime_dir() {
  ardel_tempdir XDG_RUNTIME_DIR ardel-xdg.XXXXXX
  chmod 700 "$XDG_RUNTIME_DIR"
  export XDG_RUNTIME_DIR
}

# ardel_configure PRESET [BUILD_DIR] [cmake options...]: configures with one of
# the presets of CMakePresets.json; BUILD_DIR (may be empty) overrides the
# preset's directory.
ardel_configure() {
  local preset="$1" dir="${2:-}"
  shift; [ $# -eq 0 ] || shift
  cmake -S "$ARDEL_ROOT" --preset "$preset" ${dir:+-B "$dir"} "$@" >/dev/null
}

# ardel_build BUILD_DIR [target...]: builds the given targets (default: all).
ardel_build() {
  local dir="$1"
  shift
  cmake --build "$dir" -j"$ARDEL_JOBS" ${1:+--target "$@"}
}

# ardel_sanitizer_env [REPORT_DIR]: AddressSanitizer, LeakSanitizer and UBSan
# stop at the first fault. With REPORT_DIR every process writes its reports to
# a file of its own there (name.pid), so a report of a child process whose
# output nobody reads is not lost; without it they go to stderr.
ardel_sanitizer_env() {
  local asan_log="" ubsan_log=""
  if [ -n "${1:-}" ]; then
    asan_log=":log_path=$1/asan"
    ubsan_log=":log_path=$1/ubsan"
  fi
  export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:abort_on_error=0:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1$asan_log"
  export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1$ubsan_log"
  # Qt and fontconfig keep a few allocations until exit; only those are suppressed.
  export LSAN_OPTIONS="suppressions=$ARDEL_ROOT/fuzz/lsan.supp:print_suppressions=0"
}
