#!/usr/bin/env bash
# Inside the test bed: the demo scenario itself (called by demo.sh).
set -uo pipefail
bin="$DL_CROSS_BIN"; out="$DL_DEMO_OUT"
record="$out/devcenter.jsonl"
rm -f "$out/screenshot.png" "$record"
win_record="Z:${record//\//\\}"
rules="$(cd "$(dirname "$0")/.." && pwd)/tools/devcenter/examples/demo_rules.json"
win_rules="Z:${rules//\//\\}"

echo "--- devcenter: start the host, launch Wine's programs, check the library is mapped there, stop everything"
timeout 180 "$DL_WINE_LOADER" "$bin/devcenter.exe" run --launch 'C:\windows\system32\notepad.exe' \
  --launch regedit.exe --launch winecfg.exe --launch winemine.exe --launch taskmgr.exe --launch winefile.exe \
  --launch 'C:\Program Files\Windows NT\Accessories\wordpad.exe' \
  --hold-ms 6000 --show-event-log --rules "$win_rules" --log "$win_record" > "$out/devcenter.out" 2>&1 &
dc=$!

# While the programs are up (the devcenter holds them for a few seconds), take the screenshot.
for _ in $(seq 1 600); do
  grep -q "\"rule\":\"WordPad\"" "$record" 2>/dev/null && break
  kill -0 "$dc" 2>/dev/null || break
  sleep 0.1
done
/usr/bin/import -display "$DISPLAY" -window root "$out/screenshot.png" 2>/dev/null || echo "demo: screenshot failed" >&2
wait "$dc"; rc=$?
tr -d '\r' < "$out/devcenter.out"

echo "--- what happened"
step() { if grep -q "$2" "$record" 2>/dev/null; then echo "  [x] $1"; else echo "  [ ] $1"; fi; }
step "window rules published as service and rule blocks" '"rules_published"'
step "host reported ready (service message, wParam 73)" '"ready_message"'
step "host set the startup event" '"startup_event"'
step "notepad started" '"app_started"'
step "dlmemb64.dll mapped into notepad" '"module".*"mapped":true'
step "the library built its application inside notepad" '"application":true,"event":"library_state"'
step "the stand-in's messenger server is up" '"server_ready"'
step "notepad's messenger client registered with the stand-in" '"client_registered".*notepad.exe'
step "notepad's library sent a request, decoded in the stand-in's log" '"event":"request".*"receiver":"Diagnostics"'
step "host stopped through the shutdown event" '"host_ended"'
step "host wrote its event log" '"event_log"'
echo "--- which window matched which rule, as the stand-in received it (rule types: 1 default, 2 specific, 3 exclusion)"
sed -n 's/.*"notice":{"caption":"\([^"]*\)","class":"\([^"]*\)","exe":"\([^"]*\)","rule":"\([^"]*\)","rule_type":\([0-9]*\).*/  \3  class "\2"  caption "\1"  ->  rule "\4" (type \5)/p' \
  "$record" 2>/dev/null | tr -d '\r' | sed 's/\\\\/\\/g' | sort -u
echo "--- processes that registered with the stand-in, and the requests they sent"
grep '"link_summary"' "$record" 2>/dev/null | tr -d '\r' || echo "  (no summary)"
echo "--- record: $record"
echo "--- screenshot: $out/screenshot.png"
exit "$rc"
