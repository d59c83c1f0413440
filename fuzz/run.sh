#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the fuzz targets with clang and runs them side by side for the given number of
# seconds (default 60) on a working copy of its seed corpus. Exits non-zero
# when a target finds a crash, a hang or a broken invariant; the input that
# did it is kept in build-fuzz/findings/.
# Usage: fuzz/run.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
pids=()
[ ${#targets[@]} -eq 0 ] && targets=(xml ini deploy model)

bash scripts/setup.sh clang libclang-rt-14-dev
build=build-fuzz
cmake -S . -B $build -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DDEZOV20_BUILD_FUZZ=ON -DDEZOV20_BUILD_TESTS=OFF -DDEZOV20_BUILD_TOOLS=OFF >/dev/null
cmake --build $build -j2 --target $(printf '%s_fuzz ' "${targets[@]}")

# The targets run side by side; each gets the same wall-clock time.
mkdir -p $build/findings
for target in "${targets[@]}"; do
  work=$build/corpus/$target
  mkdir -p "$work"
  cp -n fuzz/corpus/$target/* "$work"/ 2>/dev/null || true
  echo "== $target: ${seconds}s"
  ./$build/fuzz/${target}_fuzz -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=16384 -print_final_stats=1 -artifact_prefix=$build/findings/$target- \
    "$work" >$build/$target.log 2>&1 &
  pids+=("$!")
done
status=0
for i in "${!targets[@]}"; do
  target=${targets[$i]}
  if wait "${pids[$i]}"; then
    echo "$target: $(grep -E '^stat::number_of_executed_units' $build/$target.log | awk '{print $2}') runs, no finding"
  else
    echo "FINDING in $target:"; tail -n 30 $build/$target.log
    status=1
  fi
done
exit $status
