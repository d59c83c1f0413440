#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Python package's prerm on a fake installation: it removes the compiled
# files of the package's own modules (every optimisation level, nested
# packages) and each __pycache__ left empty; it keeps the modules, other
# packages' compiled files and a __pycache__ holding anything else; it
# succeeds again when there is nothing to remove.
# Usage: python_prerm_test.sh PRERM     (the configured script)
set -euo pipefail
prerm=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
fail() { echo "python_prerm_test: $*" >&2; exit 1; }

site=$root/site
mkdir -p "$site/dezov/__pycache__" "$site/dezov/sub/__pycache__" "$site/__pycache__" "$root/bin"
touch "$site/dezov/__init__.py" "$site/dezov/__init__.pyi" "$site/dezov/sub/mod.py" "$site/other.py"
touch "$site/dezov/__pycache__/__init__.cpython-311.pyc" \
  "$site/dezov/__pycache__/__init__.cpython-311.opt-1.pyc" \
  "$site/dezov/sub/__pycache__/mod.cpython-311.pyc" \
  "$site/dezov/sub/__pycache__/notes.txt" \
  "$site/__pycache__/other.cpython-311.pyc"
# dpkg -L, as dpkg answers for the package the script names.
package=$(sed -n 's/^dpkg -L \([^ ]*\) .*/\1/p' "$prerm")
[ "$package" = python3-dezov20 ] || fail "the prerm asks dpkg about '$package'"
cat >"$root/bin/dpkg" <<FAKE
#!/bin/sh
[ "\$1 \$2" = "-L $package" ] || { echo "unexpected: dpkg \$*" >&2; exit 2; }
printf '%s\n' / "$site" "$site/dezov" "$site/dezov/__init__.py" "$site/dezov/__init__.pyi" \
  "$site/dezov/sub" "$site/dezov/sub/mod.py"
FAKE
chmod +x "$root/bin/dpkg"

for run in first again; do
  PATH=$root/bin:$PATH sh "$prerm" remove || fail "prerm failed ($run run)"
  [ ! -e "$site/dezov/__pycache__" ] || fail "dezov/__pycache__ remains ($run run)"
  [ "$(ls "$site/dezov/sub/__pycache__")" = notes.txt ] ||
    fail "dezov/sub/__pycache__ holds: $(ls "$site/dezov/sub/__pycache__") ($run run)"
  [ -f "$site/__pycache__/other.cpython-311.pyc" ] || fail "another package's compiled file went"
  for module in dezov/__init__.py dezov/__init__.pyi dezov/sub/mod.py; do
    [ -f "$site/$module" ] || fail "the prerm removed $module"
  done
done
echo "python_prerm_test: ok"
