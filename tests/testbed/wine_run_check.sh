#!/usr/bin/env bash
# Checks scripts/wine-run.sh: exit codes pass through, failures keep a screenshot
# and a log, a hanging program is killed by its time-out.
set -u
runner="$1"; probe="$2"
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
export DL_ARTIFACTS_DIR="$work/artifacts"
status=0
check() { if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; status=1; fi; }

"$runner" "$probe" ok >/dev/null 2>&1; rc=$?
check "a passing program exits 0 and leaves nothing" '[ $rc -eq 0 ] && [ ! -e "$DL_ARTIFACTS_DIR" ]'

"$runner" "$probe" fail >/dev/null 2>&1; rc=$?
check "a failing program's exit code passes through" '[ $rc -eq 3 ]'
check "a failing program leaves its log" '[ -f "$DL_ARTIFACTS_DIR/testbed_probe.log" ]'
check "a failing program leaves a screenshot" '[ -s "$DL_ARTIFACTS_DIR/testbed_probe.png" ]'

DL_EXPECT_GTEST=1 "$runner" "$probe" ok >/dev/null 2>&1; rc=$?
check "a test program that exits 0 without its summary line counts as failed" '[ $rc -ne 0 ]'
rm -rf "$DL_ARTIFACTS_DIR"
DL_EXPECT_GTEST=1 "$runner" "$probe" summary >/dev/null 2>&1; rc=$?
check "a test program that prints its summary and exits 0 passes" '[ $rc -eq 0 ] && [ ! -e "$DL_ARTIFACTS_DIR" ]'

start=$(date +%s)
DL_TEST_TIMEOUT=15 "$runner" "$probe" hang >/dev/null 2>&1; rc=$?
took=$(( $(date +%s) - start ))
check "a hanging program is killed by its time-out (exit $rc after ${took}s)" '[ $rc -eq 124 ] && [ $took -lt 40 ]'
check "the time-out is noted in the log" 'grep -q "killed after" "$DL_ARTIFACTS_DIR/testbed_probe.log"'
exit $status
