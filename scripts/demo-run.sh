#!/usr/bin/env bash
# Inside the test bed: the demo scenario itself (called by demo.sh).
set -euo pipefail
bin="$DL_CROSS_BIN"; out="$DL_DEMO_OUT"
rm -f "$out/screenshot.png" "$out/devcenter.jsonl"
# The devcenter takes the screenshot itself while notepad is up, via this command.
export DL_SCREENSHOT_CMD="/usr/bin/import -display $DISPLAY -window root $out/screenshot.png"
timeout 120 "$DL_WINE_LOADER" "$bin/devcenter.exe" demo --launch notepad.exe --log "Z:${out//\//\\}\\devcenter.jsonl" 2>&1 | tr -d '\r'
rc=${PIPESTATUS[0]}
[ -s "$out/screenshot.png" ] || /usr/bin/import -display "$DISPLAY" -window root "$out/screenshot.png" 2>/dev/null || true
echo "=== screenshot: $out/screenshot.png"
[ -s "$out/devcenter.jsonl" ] && echo "=== devcenter record: $out/devcenter.jsonl"
exit "$rc"
