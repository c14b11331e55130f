#!/usr/bin/env bash
# Window-server requests per message on the hooks' common path: the same workload with the
# library's hooks and with bare hooks of the same kind, each traced by a window server of its
# own (WINEDEBUG=+server), counting the requests of the working thread between its two markers.
# The library must add none to a posted or a sent message, and none of its own to a window's
# life. Run inside scripts/testbed.sh:
#   server_requests_check.sh <hook_cost_bench.exe>
set -uo pipefail
bench="$1"
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
loader="${DL_WINE_LOADER:-/usr/lib/wine/wine64}"
n=200
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

count() {  # workload hooks -> requests per message
  local trace="$out/$1-$2.trace"
  "$root/scripts/private-prefix.sh" -- bash -c \
    "WINEDEBUG=+server timeout 120 '$loader' '$bench' --count $1 $n $2 2>'$trace' >/dev/null" || return 1
  awk -v n="$n" '
    /find_atom\(.*dl_count_begin/ { tid = substr($1, 1, 4); on = 1; next }
    on && /find_atom\(.*dl_count_end/ && substr($1, 1, 4) == tid { on = 0; done = 1; next }
    on && substr($1, 1, 4) == tid && $2 ~ /^[a-z_]+\($/ && $0 !~ /\) = / { req[$2]++; total++ }
    END {
      if (!done) { print "none"; exit }
      printf "%.2f", total / n
      for (r in req) if (req[r] >= n / 4) printf " %s%.2f", substr(r, 1, length(r) - 1) "=", req[r] / n
      print ""
    }' "$trace"
}

status=0
for workload in posted sent churn; do
  bare=$(count "$workload" bare) || { echo "server_requests_check: $workload bare run failed"; exit 77; }
  library=$(count "$workload" library) || { echo "server_requests_check: $workload library run failed"; exit 77; }
  echo "$workload: requests per message: bare $bare | library $library"
  [[ "$bare" == none || "$library" == none ]] && { echo "server_requests_check: no markers in the trace"; exit 1; }
  b=${bare%% *}; l=${library%% *}
  # A window's life also runs the library's win-event hook once (a hook kind that bare per-thread
  # hooks do not have): one hook-chain start per window, and nothing else.
  allowed=0.05
  [ "$workload" = churn ] && allowed=1.05
  if awk -v b="$b" -v l="$l" -v a="$allowed" 'BEGIN { exit !(l > b + a) }'; then
    echo "server_requests_check: the library adds requests to a $workload message"; status=1
  fi
done
[ $status -eq 0 ] && echo "server_requests_check: passed"
exit $status
