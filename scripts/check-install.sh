#!/usr/bin/env bash
# Installs into a staging directory and runs the installed ardel as a normal
# user (nobody) inside the private virtual LAN: with the capability it opens
# its endpoints on port 1010, without it the bind is refused at step mark 6.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
ardel_as_root "$@"
cd "$ARDEL_ROOT"
ardel_tempdir stage ardel-stage.XXXXXX
ardel_tempdir work ardel-user.XXXXXX
chmod 755 "$stage"; chmod 777 "$work"
ardel_configure default
ardel_build build ardel ardel-devsim >/dev/null
DESTDIR="$stage" cmake --install build --prefix /usr
echo "installed files:"; (cd "$stage" && find . -type f | sort)
echo "capabilities: $(getcap "$stage/usr/bin/ardel")"
run_as_nobody() {
  rm -f "$work/Ardel.log"
  (cd "$work" && "$ARDEL_ROOT/scripts/netns-run.sh" -- setpriv --reuid 65534 --regid 65534 --clear-groups \
    env QT_QPA_PLATFORM=offscreen HOME="$work" timeout 3 "$1" >/dev/null 2>&1 || true)
  iconv -f cp1250 -t utf-8 "$work/Ardel.log" | grep -E "Local address|Hálózat indítási hiba" || true
}
echo "--- as nobody, installed binary (with the capability):"
run_as_nobody "$stage/usr/bin/ardel"
cp "$stage/usr/bin/ardel" "$work/ardel-without-cap"
echo "--- as nobody, a copy without the capability:"
run_as_nobody "$work/ardel-without-cap"
