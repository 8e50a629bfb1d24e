#!/usr/bin/env bash
# Builds the .deb with cpack (in build/, as the README does), checks it with
# lintian (no error, no warning) and the .desktop entry with
# desktop-file-validate (not even a hint), then installs it with dpkg -i,
# checks the capability and the files, and removes it again with dpkg -r.
# Installs into this machine's /usr: refuses when an ardel package is
# installed already. Not part of .ci/run.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
ardel_as_root "$@"
cd "$ARDEL_ROOT"
fail() { echo "check-package.sh: $*" >&2; exit 1; }
status() { dpkg-query -W -f='${db:Status-Status}' ardel 2>/dev/null || true; }
remove_if_installed() { [ "$(status)" != installed ] || dpkg -r ardel >/dev/null; }

case "$(status)" in
  ''|not-installed|config-files) ;;
  *) fail "an ardel package is installed already; remove it first (dpkg -r ardel)" ;;
esac
scripts/setup.sh lintian desktop-file-utils
ardel_configure default
ardel_build build
rm -f build/ardel_*.deb
(cd build && cpack >/dev/null)
deb="$(ls build/ardel_*.deb)"
echo "=== $deb"
dpkg-deb --field "$deb"
dpkg-deb --contents "$deb"

echo "=== lintian"
# As nobody: lintian only reads the package and warns about running as root.
setpriv --reuid 65534 --regid 65534 --clear-groups env HOME=/tmp TMPDIR=/tmp \
  lintian --fail-on error,warning --display-info "$deb" || fail "lintian found problems"
echo "lintian: no error, no warning"

echo "=== desktop-file-validate"
hints="$(desktop-file-validate packaging/ardel.desktop 2>&1)" || fail "invalid .desktop entry: $hints"
[ -z "$hints" ] || fail "desktop-file-validate: $hints"
echo "packaging/ardel.desktop: valid, no hints"

echo "=== dpkg -i"
ardel_at_exit remove_if_installed
dpkg -i "$deb"
for b in /usr/bin/ardel /usr/bin/ardel-cli; do
  caps="$(getcap "$b")"
  echo "getcap: $caps"
  [[ "$caps" == *cap_net_bind_service* ]] || fail "$b lacks cap_net_bind_service"
done
files=()
while read -r f; do
  [ -d "$f" ] || files+=("$f")
done < <(dpkg -L ardel)
for f in "${files[@]}"; do
  [ -e "$f" ] || fail "installed package lacks $f"
done
echo "${#files[@]} files installed"
for b in /usr/bin/ardel /usr/bin/ardel-cli /usr/bin/ardel-devsim; do
  sections="$(readelf -S "$b")"
  [[ "$sections" != *.symtab* && "$sections" != *.debug_info* ]] || fail "$b is not stripped"
done
man -w ardel ardel-cli ardel-devsim >/dev/null || fail "manual pages not found"

echo "=== dpkg -r"
dpkg -r ardel
[ "$(status)" != installed ] || fail "ardel is still installed"
left=()
for f in "${files[@]}"; do
  [ ! -e "$f" ] || left+=("$f")
done
[ ${#left[@]} -eq 0 ] || fail "left behind after dpkg -r: ${left[*]}"
echo "check-package.sh: the package passes lintian, installs and removes cleanly"
