#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Debian packages twice from one commit, in two folders of
# different names and depths, with SOURCE_DATE_EPOCH set from the commit as
# `make package-deb` sets it, and compares them byte for byte: the packages
# must not depend on where, or when, they were built.
#
# Usage: scripts/repro-check.sh [COMMIT]     (default: HEAD)
# Environment: JOBS (default 2, shared by the two builds, which run side by
# side), BUILD_TYPE (default RelWithDebInfo, the packages' build type).
# Builds without tests, benchmarks or ccache: about 10 minutes of processor
# time, 5 minutes on 2 cores.
set -euo pipefail
cd "$(dirname "$0")/.."
commit=$(git rev-parse --verify "${1:-HEAD}^{commit}")
export SOURCE_DATE_EPOCH
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct "$commit")
# Every object compiled here, not taken from a cache filled elsewhere.
export CCACHE_DISABLE=1
unset CMAKE_CXX_COMPILER_LAUNCHER CMAKE_C_COMPILER_LAUNCHER
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

fail() { echo "repro-check: $*" >&2; exit 1; }

# The commit's files in DIR/src, its packages in DIR/build.
build_packages() {
  local dir=$1 start=$SECONDS
  mkdir -p "$dir/src"
  git archive "$commit" | tar -x -C "$dir/src"
  cmake -S "$dir/src" -B "$dir/build" -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" \
    -DDEZOV20_BUILD_TESTS=OFF -DDEZOV20_BUILD_BENCH=OFF >"$dir/configure.log" 2>&1 ||
    { cat "$dir/configure.log"; fail "configuring in $dir failed"; }
  cmake --build "$dir/build" -j"$jobs" --target package >"$dir/build.log" 2>&1 ||
    { tail -n 40 "$dir/build.log"; fail "building the packages in $dir failed"; }
  echo "[repro] packages built in $dir in $((SECONDS - start)) s"
}

# What differs between two packages of one name: their members, and the
# files inside that differ.
explain() {
  local one=$1 two=$2 unpacked=$WORK/diff
  rm -rf "$unpacked"
  mkdir -p "$unpacked/one" "$unpacked/two"
  dpkg-deb -R "$one" "$unpacked/one"
  dpkg-deb -R "$two" "$unpacked/two"
  diff <(dpkg-deb -c "$one") <(dpkg-deb -c "$two") || true
  diff -rq "$unpacked/one" "$unpacked/two" || true
}

jobs=$(( ${JOBS:-2} / 2 ))
[ "$jobs" -ge 1 ] || jobs=1
build_packages "$WORK/one" &
first=$!
build_packages "$WORK/a/second/build-folder" &
second=$!
status=0
wait "$first" || status=1
wait "$second" || status=1
[ "$status" -eq 0 ] || fail "a build failed"
times >"$WORK/times"
mapfile -t debs < <(cd "$WORK/one/build" && ls -- *.deb)
[ ${#debs[@]} -ge 3 ] || fail "only ${#debs[@]} packages were made: ${debs[*]}"
different=0
for deb in "${debs[@]}"; do
  other=$WORK/a/second/build-folder/build/$deb
  [ -f "$other" ] || fail "the second build made no $deb"
  if cmp -s "$WORK/one/build/$deb" "$other"; then
    echo "[repro] $deb: identical"
  else
    echo "[repro] $deb: DIFFERS"
    explain "$WORK/one/build/$deb" "$other"
    different=$((different + 1))
  fi
done
echo "[repro] processor time of the builds (user, system): $(tail -n 1 "$WORK/times")"
[ "$different" -eq 0 ] || fail "$different of ${#debs[@]} packages differ between the two builds"
echo "[repro] all ${#debs[@]} packages of $commit are identical byte for byte"
