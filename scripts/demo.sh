#!/usr/bin/env bash
# The main job: builds what is needed and runs the demo under the Wine test bed:
# the stand-in main program starts the host, which loads the library and installs
# its global hooks; Wine's notepad starts and gets the library mapped; then
# everything is shut down cleanly. Leaves a screenshot in build/demo/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
cross="$root/build/cross"
out="$root/build/demo"
mkdir -p "$out"
echo "=== building (mingw-w64 cross tree)"
cmake -S "$root" -B "$cross" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >"$out/configure.log" 2>&1 ||
  { cat "$out/configure.log"; echo "demo: configure failed" >&2; exit 1; }
cmake --build "$cross" --target devcenter DeskloomCenter64 dlmemb64 pcre64 >"$out/build.log" 2>&1 ||
  { tail -40 "$out/build.log"; echo "demo: build failed" >&2; exit 1; }
echo "=== running the demo under Wine (Xvfb display, prefix $root/build/wineprefix)"
export DL_DEMO_OUT="$out" DL_CROSS_BIN="$cross/bin"
"$root/scripts/testbed.sh" bash "$root/scripts/demo-run.sh"
