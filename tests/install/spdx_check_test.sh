#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# scripts/check-spdx.sh on a small git tree: it names exactly the source files
# whose top lacks `SPDX-License-Identifier: MIT` (missing, another licence,
# too far down; tracked or new), leaves other and ignored files alone, and
# passes once every source file has the line.
# Usage: spdx_check_test.sh CHECK_SCRIPT
set -euo pipefail
check=$1
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
fail() { echo "spdx_check_test: $*" >&2; exit 1; }

cd "$tree"
git init -q .
mkdir -p sub build .ci
printf '// SPDX-License-Identifier: MIT\nint a;\n' >good.cpp
printf '#!/bin/sh\n# SPDX-License-Identifier: MIT\ntrue\n' >good.sh
printf '.\\" SPDX-License-Identifier: MIT\n.TH X 1\n' >good.1.in
printf 'import os\n' >missing.py
printf '# SPDX-License-Identifier: Apache-2.0\n' >other-licence.cmake
printf '// SPDX-License-Identifier: MIT OR Apache-2.0\n' >either.h
printf '// one\n// two\n// SPDX-License-Identifier: MIT\n' >too-late.h
printf '#!/bin/sh\n\n# SPDX-License-Identifier: MIT\n' >after-blank.sh
printf 'project(x)\n' >sub/CMakeLists.txt
printf '#!/bin/sh\n' >.ci/run
printf 'notes\n' >notes.txt
printf 'build/\n' >.gitignore
printf 'int ignored;\n' >build/ignored.cpp
git add -A
printf 'int fresh;\n' >fresh.cpp   # new, not yet added

status=0
bash "$check" "$tree" >"$tree/.out" 2>&1 || status=$?
[ "$status" -eq 1 ] || fail "exit status $status with files lacking the line"
reported=$(sed -n 's/: no .SPDX-License-Identifier: MIT. line at its top$//p' "$tree/.out" | sort)
expected=$(printf '%s\n' .ci/run after-blank.sh either.h fresh.cpp missing.py other-licence.cmake \
  sub/CMakeLists.txt too-late.h)
[ "$reported" = "$expected" ] || fail "reported:
$reported
expected:
$expected"

for file in $expected; do
  case $file in
    *.sh|.ci/run) printf '#!/bin/sh\n# SPDX-License-Identifier: MIT\n' >"$file" ;;
    *.cpp|*.h) printf '// SPDX-License-Identifier: MIT\n' >"$file" ;;
    *) printf '# SPDX-License-Identifier: MIT\n' >"$file" ;;
  esac
done
bash "$check" "$tree" >"$tree/.out" 2>&1 || { cat "$tree/.out"; fail "fails with every line in place"; }
echo "spdx_check_test: ok"
