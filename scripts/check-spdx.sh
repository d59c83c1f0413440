#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks that every source file names its licence in one line near its top:
# `SPDX-License-Identifier: MIT` in the file's comment form (// # .\"), on the
# first line or, after a #! line, the second. The files are those git knows
# (tracked, or new and not ignored) whose names say they are sources.
#
# Usage: scripts/check-spdx.sh [TREE]     (default: this checkout)
# Prints each file lacking the line; exit status 1 when there is any.
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

missing=0
checked=0
while IFS= read -r -d '' file; do
  case ${file##*/} in
    *.cpp|*.h|*.hpp|*.cpp.in|*.py|*.pyi|*.pyi.in|*.cmake|*.cmake.in|*.pc.in|CMakeLists.txt|*.sh|\
    Makefile|*.1.in|*.service|*.conf) ;;
    run) [ "$file" = .ci/run ] || continue ;;
    *) continue ;;
  esac
  [ -f "$file" ] || continue   # deleted, not yet committed
  checked=$((checked + 1))
  first=$(head -n 2 "$file")
  [[ $first == '#!'* ]] && first=${first#*$'\n'} || first=${first%%$'\n'*}
  if ! [[ $first =~ ^(//|#|\.\\\")\ SPDX-License-Identifier:\ MIT$ ]]; then
    echo "$file: no 'SPDX-License-Identifier: MIT' line at its top"
    missing=$((missing + 1))
  fi
done < <(git ls-files -z --cached --others --exclude-standard)

if [ "$missing" -gt 0 ]; then
  echo "check-spdx: $missing of $checked source files lack their SPDX line" >&2
  exit 1
fi
echo "check-spdx: all $checked source files carry 'SPDX-License-Identifier: MIT'"
