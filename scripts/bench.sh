#!/usr/bin/env bash
# Builds and runs the benchmarks: the platform-free core natively (release, no sanitizers, in
# build/bench), then the Wine benchmarks of the cross tree (tests labelled "bench") in the test bed.
# Extra arguments go to every native benchmark program (e.g. --benchmark_filter=Size).
# DL_BENCH_ONLY=native or DL_BENCH_ONLY=wine runs one half.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
only="${DL_BENCH_ONLY:-}"
status=0
if [ "$only" != wine ]; then
  build="$root/build/bench"
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DDL_SANITIZE=OFF \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
  shopt -s nullglob
  targets=()
  for src in "$root"/bench/*_bench.cpp; do targets+=("$(basename "$src" .cpp)"); done
  if [ ${#targets[@]} -gt 0 ]; then
    cmake --build "$build" --target "${targets[@]}" >/dev/null
    for name in "${targets[@]}"; do
      echo "== $name"
      "$build/bin/$name" "$@" || status=$?
    done
  fi
fi
if [ "$only" != native ]; then
  "$root/scripts/install-deps.sh"
  cross="$root/build/cross"
  cmake -S "$root" -B "$cross" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
  cmake --build "$cross" >/dev/null
  # Serial, like the Wine tests: the benchmarks measure ratios in one run and share the wineserver.
  "$root/scripts/testbed.sh" ctest --test-dir "$cross" -L bench -V 2>&1 |
    grep -vE '^[0-9]+: (\{|Test command|Working Directory|Environment variables| *[A-Z_]+=|Test timeout|Running main|\[)' |
    grep -vE '^(UpdateCTestConfiguration|Parse|Add|Constructing|Checking|Test project|test [0-9]+$|Internal ctest|Done constructing|Updating test list|[0-9]+: *$|$)' ||
    status=$?
fi
exit $status
