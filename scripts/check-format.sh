#!/usr/bin/env bash
# Checks that the C++ sources are formatted as .clang-format says:
#   scripts/check-format.sh          report the files that differ, exit 1
#   scripts/check-format.sh --fix    format them in place
# Only clang-format 14 is used: other versions break some lines differently.
# CLANG_FORMAT picks another binary of that version.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
cd "$ARDEL_ROOT"

fix=0
case "${1:-}" in
  "") ;;
  --fix) fix=1 ;;
  *) echo "usage: $0 [--fix]" >&2; exit 2 ;;
esac

tool="${CLANG_FORMAT:-clang-format}"
if ! command -v "$tool" >/dev/null 2>&1; then
  echo "$tool not found; scripts/setup.sh installs it" >&2
  exit 2
fi
if ! "$tool" --version | grep -q 'version 14\.'; then
  echo "$("$tool" --version) is not clang-format 14; set CLANG_FORMAT to one that is" >&2
  exit 2
fi

dirs=(app net tavo config log ui tools tests bench fuzz)
mapfile -t files < <(git ls-files -- "${dirs[@]/%//*.cpp}" "${dirs[@]/%//*.h}")
if [ ${#files[@]} -eq 0 ]; then
  echo "no sources found (not a git checkout?)" >&2
  exit 2
fi

if [ "$fix" = 1 ]; then
  "$tool" -i -- "${files[@]}"
  exit 0
fi
# One error per misplaced space is too many to read: the first few, then the
# files.
if ! out="$("$tool" --dry-run --Werror -- "${files[@]}" 2>&1)"; then
  printf '%s\n' "$out" | head -n 12 >&2
  echo "..." >&2
  echo "Not formatted as .clang-format says:" >&2
  printf '%s\n' "$out" | sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: error:.*/  \1/p' | sort -u >&2
  echo "Fix: scripts/check-format.sh --fix" >&2
  exit 1
fi
echo "format: ${#files[@]} files clean"
