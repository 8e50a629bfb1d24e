#!/usr/bin/env bash
# Installs what is needed, builds Ardel and runs it.
#
# By default Ardel runs on a private virtual LAN (network namespaces; nothing
# touches the machine's real interfaces) against emulated devices
# (docs/demo-devices.json). With a display it opens the window; without one it
# runs under Xvfb, waits for the first refresh and a TAVOW refresh, saves a
# screenshot and the exported table, and prints the table.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
root="$ARDEL_ROOT"

usage() {
  cat <<'TXT'
usage: scripts/run.sh [--lan] [--headless [--dialogs]] [--devices FILE] [--out DIR] [--help]

  (default)       build, then run Ardel on a private virtual LAN against the
                  emulated devices of docs/demo-devices.json
  --headless      do not open a window even if a display is available: run
                  under Xvfb, save screenshots and exports in out/demo,
                  print the table
  --devices FILE  the emulated devices (JSON, see docs/devsim.md)
  --out DIR       where the screenshots, the exports and Ardel.log go
                  (default out/demo)
  --dialogs       headless: also save a picture of each of the five dialogs
  --lan           run Ardel on this machine's real network instead (it
                  broadcasts on every selected interface at start; needs the
                  right to bind UDP port 1010, see README)
  --help          this text
TXT
}

orig_args=("$@")
lan=0; headless=0; dialogs=""; devices="$root/docs/demo-devices.json"; out="$root/out/demo"
while [ $# -gt 0 ]; do
  case "$1" in
    --help|-h) usage; exit 0 ;;
    --lan) lan=1; shift ;;
    --headless) headless=1; shift ;;
    --dialogs) dialogs="--dialogs"; shift ;;
    --devices) devices="$(realpath "${2:?--devices needs a file}")"; shift 2 ;;
    --out) out="$(realpath -m "${2:?--out needs a directory}")"; shift 2 ;;
    *) echo "unknown option: $1" >&2; usage >&2; exit 2 ;;
  esac
done

ardel_as_root "${orig_args[@]}"

# Paths given as options are taken from where the command was typed.
cd "$root"
scripts/setup.sh
# Only what the demo runs; scripts/test.sh builds everything.
ardel_configure default
ardel_build build ardel ardel-devsim ardel-shot
mkdir -p "$out"

if [ "$lan" = 1 ]; then
  cd "$out"
  exec "$root/build/app/ardel"
fi

# Inside the workstation namespace: start the emulator in the device namespace,
# then the program.
inner=$(cat <<'INNER'
set -euo pipefail
cd "$OUT"
ip netns exec "$ARDEL_DEV_NS" "$ROOT/build/tools/devsim/ardel-devsim" --config "$DEVICES" --journal "$OUT/devsim-journal.jsonl" > "$OUT/devsim.out" 2>&1 &
sim=$!
trap 'kill $sim 2>/dev/null || true; wait $sim 2>/dev/null || true' EXIT
for _ in $(seq 100); do grep -q ready "$OUT/devsim.out" 2>/dev/null && break; sleep 0.1; done
grep -q ready "$OUT/devsim.out" || { echo "the device emulator did not start:"; cat "$OUT/devsim.out"; exit 1; }
if [ "$HEADLESS" = 0 ] && [ -n "${DISPLAY:-}" ]; then
  "$ROOT/build/app/ardel"
else
  XDG_RUNTIME_DIR="$XDG" xvfb-run -a -s "-screen 0 1280x800x24" "$ROOT/build/tools/shot/ardel-shot" --tavo $DIALOGS --out "$OUT"
  echo
  echo "Screenshots: $OUT/main-refresh.png (after Frissítés), $OUT/main-tavo.png (after Tavow frissítés)"
  echo "Exports:     $OUT/table-refresh.csv, $OUT/table-tavo.csv"
  echo "Log file:   $OUT/Ardel.log"
fi
INNER
)
# Qt wants a private runtime directory; a root shell has none.
ardel_tempdir xdg ardel-xdg.XXXXXX
chmod 700 "$xdg"
scripts/netns-run.sh --name "ardel-demo" -- env OUT="$out" ROOT="$root" DEVICES="$devices" HEADLESS="$headless" DIALOGS="$dialogs" \
  XDG="$xdg" DISPLAY="${DISPLAY:-}" XAUTHORITY="${XAUTHORITY:-}" bash -c "$inner"
