#!/usr/bin/env bash
# Runs one Windows program under Wine for ctest: a time-out below ctest's own,
# and on failure a screenshot and the output kept under <build>/artifacts/.
set -u
exe="$1"; shift
name=$(basename "$exe" .exe)
loader="${DL_WINE_LOADER:-/usr/lib/wine/wine64}"
limit="${DL_TEST_TIMEOUT:-120}"
limit=$(( limit > 10 ? limit - 5 : limit ))
bindir=$(dirname "$exe")
artifacts="${DL_ARTIFACTS_DIR:-$(dirname "$bindir")/artifacts}"
log=$(mktemp)
timeout --kill-after=5 "$limit" "$loader" "$exe" "$@" 2>&1 | tee "$log"
rc=${PIPESTATUS[0]}
# A test program that dies under Wine (stack overflow, a fault in another thread) can still
# end with exit code 0: a GoogleTest program only passes once it has printed its summary.
if [ "$rc" -eq 0 ] && [ "${DL_EXPECT_GTEST:-0}" = 1 ] && ! grep -q '^\[  PASSED  \]' "$log"; then
  echo "wine-run: $name ended without the test summary (crashed?)" | tee -a "$log"
  rc=1
fi
if [ "$rc" -ne 0 ]; then
  mkdir -p "$artifacts"
  cp "$log" "$artifacts/$name.log"
  [ "$rc" -eq 124 ] && echo "wine-run: $name killed after ${limit}s" | tee -a "$artifacts/$name.log"
  if [ -n "${DISPLAY:-}" ] && [ -x /usr/bin/import ]; then
    /usr/bin/import -display "$DISPLAY" -window root "$artifacts/$name.png" 2>/dev/null || true
  fi
  echo "wine-run: $name failed (exit $rc); artefacts in $artifacts" >&2
fi
rm -f "$log"
exit "$rc"
