#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs every Debian package in BUILD with apt and uses them as root: the
# Python package imported (so that Python writes its compiled files beside
# it), dezov --version and dezov demo. Then removes them, and purges them:
# after removal only their configuration files may remain, after purging
# nothing of what they installed, nor anything made from it, nor the linker
# cache's entry for the library.
#
# Usage: scripts/apt-check.sh BUILD     (as root; skipped with a message otherwise)
# The packages must not be installed before; they are purged again on failure.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=$(cd "${1:?usage: apt-check.sh BUILD}" && pwd)

fail() { echo "apt-check: $*" >&2; exit 1; }

if [ "$(id -u)" -ne 0 ]; then
  echo "apt-check: skipped: installing packages needs root"
  exit 0
fi
debs=("$BUILD"/*.deb)
[ -e "${debs[0]}" ] || fail "no .deb in $BUILD (make package-deb BUILD=$BUILD)"
packages=()
for deb in "${debs[@]}"; do packages+=("$(dpkg-deb -f "$deb" Package)"); done

WORK=$(mktemp -d)
installed=false
# The packages dpkg still knows (installed, or their configuration files kept).
known() {
  for package in "${packages[@]}"; do
    if dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null |
        grep -v '^not-installed$' >/dev/null; then
      echo "$package"
    fi
  done
}
# On failure the packages go again, and so does whatever they left: paths the
# machine did not have before (deepest first).
cleanup() {
  if $installed; then
    dpkg --purge "${packages[@]}" >/dev/null 2>&1 || true
    if [ -s "$WORK/new-paths" ]; then
      sort -r "$WORK/new-paths" | while IFS= read -r path; do
        [ -n "$path" ] && [ "$path" != / ] && rm -rf -- "$path"
      done
    fi
  fi
  rm -rf "$WORK"
}
trap cleanup EXIT
already=$(known)
[ -z "$already" ] || fail "already on this machine: $already; the check would remove it"
apt_get() { DEBIAN_FRONTEND=noninteractive apt-get -y -qq -o Dpkg::Use-Pty=0 "$@" >"$WORK/apt.log" 2>&1 ||
  { cat "$WORK/apt.log"; fail "apt-get $1 failed"; }; }

# Every path the packages hold that this machine does not have yet.
for deb in "${debs[@]}"; do
  dpkg-deb --fsys-tarfile "$deb" | tar -t | sed -e 's|^\./|/|' -e 's|/$||' -e '/^$/d'
done | sort -u | while IFS= read -r path; do
  [ -e "$path" ] || [ -L "$path" ] || echo "$path"
done >"$WORK/new-paths"
[ -s "$WORK/new-paths" ] || fail "the packages hold no path this machine lacks"

# Those of the given paths (a list file) that are on the disk, outside /etc
# with "outside-etc".
present() {
  while IFS= read -r path; do
    if [ -e "$path" ] || [ -L "$path" ]; then
      [ "${2:-}" = outside-etc ] && [[ $path == /etc/* ]] && continue
      echo "$path"
    fi
  done <"$1"
}

installed=true
apt_get install --no-install-recommends "${debs[@]}"
echo "[apt] installed: ${packages[*]}"

# As root, where Python may write: the import leaves __pycache__ behind.
module=$(cd "$WORK" && env -u PYTHONDONTWRITEBYTECODE -u PYTHONPYCACHEPREFIX -u PYTHONPATH \
  /usr/bin/python3 -c 'import dezov; print(dezov.__file__)')
[[ $module == /usr/lib/python3/dist-packages/dezov/* ]] || fail "dezov was imported from $module"
[ -n "$(find /usr/lib/python3/dist-packages/dezov -name '*.pyc')" ] ||
  fail "importing dezov as root wrote no compiled file: the check would prove nothing"
version=$(dpkg-deb -f "$(printf '%s\n' "${debs[@]}" | grep '/dezov_')" Version)
[ "$(dezov --version)" = "dezov ${version%-*}" ] || fail "dezov --version: $(dezov --version)"
(cd "$WORK" && dezov demo) >"$WORK/demo.txt" || fail "dezov demo failed: $(cat "$WORK/demo.txt")"
ldconfig -p | grep 'libDeZov20\.so\.1 ' >/dev/null || fail "the linker cache does not know libDeZov20.so.1"
echo "[apt] used as root: import dezov ($module), dezov --version, dezov demo"

apt_get remove "${packages[@]}"
left=$(present "$WORK/new-paths" outside-etc)
[ -z "$left" ] || fail "apt-get remove left behind: $left"
ldconfig -p | grep 'libDeZov20\.so' >/dev/null && fail "the linker cache still names libDeZov20 after removal"
echo "[apt] removed: nothing left outside /etc"

# Those with configuration files left are purged (apt knows no others now).
mapfile -t kept < <(known)
[ ${#kept[@]} -eq 0 ] || apt_get purge "${kept[@]}"
left=$(present "$WORK/new-paths")
[ -z "$left" ] || fail "apt-get purge left behind: $left"
left=$(known)
[ -z "$left" ] || fail "dpkg still knows $left after purging"
installed=false
echo "[apt] purged: nothing left of $(wc -l <"$WORK/new-paths") packaged paths"
