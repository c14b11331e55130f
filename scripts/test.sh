#!/usr/bin/env bash
# The test command: installs what is missing, builds both trees, runs the native
# tests (sanitizers, short fuzz runs) and the Wine tests, and ends with the summaries.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/install-deps.sh" || exit 1

native="$root/build/native"
cross="$root/build/cross"
log_dir="$root/build/logs"
mkdir -p "$log_dir"

step() { echo; echo "=== $*"; }
fail() { echo "test: $*" >&2; exit 1; }

step "configure and build the native tree (clang, AddressSanitizer + UndefinedBehaviorSanitizer)"
cmake -S "$root" -B "$native" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DDL_FUZZ=ON >"$log_dir/native-configure.log" 2>&1 || { cat "$log_dir/native-configure.log"; fail "native configure failed"; }
cmake --build "$native" || fail "native build failed"

step "configure and build the cross tree (mingw-w64, PE64)"
cmake -S "$root" -B "$cross" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  >"$log_dir/cross-configure.log" 2>&1 || { cat "$log_dir/cross-configure.log"; fail "cross configure failed"; }
cmake --build "$cross" || fail "cross build failed"

step "native tests"
ctest --test-dir "$native" --output-on-failure -j2 2>&1 | tee "$log_dir/native-ctest.log"
native_rc=${PIPESTATUS[0]}

step "Wine tests"
# Serial: global hooks installed by one test reach every process of the wineserver.
"$root/scripts/testbed.sh" ctest --test-dir "$cross" --output-on-failure 2>&1 | tee "$log_dir/wine-ctest.log"
wine_rc=${PIPESTATUS[0]}

summary() { grep -E '^[0-9]+% tests passed|^The following tests FAILED|^\s+[0-9]+ - ' "$1" || echo "(no summary: see $1)"; }
step "summary"
echo "native: $(summary "$log_dir/native-ctest.log")"
echo "wine:   $(summary "$log_dir/wine-ctest.log")"
[ -d "$cross/artifacts" ] && echo "artefacts of failed Wine tests: $cross/artifacts"
[ "$native_rc" -eq 0 ] && [ "$wine_rc" -eq 0 ]
