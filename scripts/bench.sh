#!/usr/bin/env bash
# Builds the benchmarks without sanitizers in build/bench and runs them.
# Extra arguments go to every benchmark program (e.g. --benchmark_filter=Size).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build/bench"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DDL_SANITIZE=OFF \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
shopt -s nullglob
targets=()
for src in "$root"/bench/*_bench.cpp; do targets+=("$(basename "$src" .cpp)"); done
[ ${#targets[@]} -gt 0 ] || { echo "no benchmarks in bench/"; exit 0; }
cmake --build "$build" --target "${targets[@]}" >/dev/null
status=0
for name in "${targets[@]}"; do
  echo "== $name"
  "$build/bin/$name" "$@" || status=$?
done
exit $status
