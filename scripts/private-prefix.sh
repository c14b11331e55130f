#!/usr/bin/env bash
# Runs a command in a Wine prefix of its own and on an X display of its own, for tests that
# change what the whole prefix sees (screen DPI, reported Windows version) or the whole display
# (a compositing manager). The prefix is a hard-linked copy of the tree's prefix ($WINEPREFIX,
# made by scripts/testbed.sh) whose registry files are real copies, removed afterwards.
#   scripts/private-prefix.sh [--dpi N] [--windows win10] [--compositor] -- <command> [args...]
# Ends with the command's exit code; 77 when something it needs is missing.
set -uo pipefail
dpi=""; windows=""; compositor=0
while [ $# -gt 0 ]; do
  case "$1" in
    --dpi) dpi="$2"; shift 2 ;;
    --windows) windows="$2"; shift 2 ;;
    --compositor) compositor=1; shift ;;
    --) shift; break ;;
    *) echo "private-prefix: unknown option $1" >&2; exit 2 ;;
  esac
done
loader="${DL_WINE_LOADER:-/usr/lib/wine/wine64}"
wineserver_bin=/usr/lib/wine/wineserver
base="${WINEPREFIX:?private-prefix: run under scripts/testbed.sh}"
[ -f "$base/.deskloom-ready" ] || { echo "private-prefix: $base is not a finished prefix" >&2; exit 77; }
if [ "$compositor" = 1 ] && ! command -v xcompmgr >/dev/null; then
  echo "private-prefix: xcompmgr missing (run scripts/install-deps.sh)" >&2; exit 77
fi

own=$(mktemp -d "${TMPDIR:-/tmp}/dl-prefix.XXXXXX")
prefix="$own/prefix"
xvfb_pid=""; compositor_pid=""
cleanup() {
  local rc=$?
  WINEPREFIX="$prefix" timeout 20 "$wineserver_bin" -k >/dev/null 2>&1 || true
  [ -n "$compositor_pid" ] && { kill "$compositor_pid" 2>/dev/null; wait "$compositor_pid" 2>/dev/null; }
  [ -n "$xvfb_pid" ] && { kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; }
  rm -rf "$own"
  exit $rc
}
trap cleanup EXIT
trap 'exit 130' INT TERM

cp -al "$base" "$prefix" || exit 77
# Wine rewrites its registry files; they must not be the tree prefix's files.
for f in "$prefix"/*.reg; do cp --remove-destination "$base/$(basename "$f")" "$f"; done

for n in $(seq 141 199); do
  [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 1 100); do
    [ -e "/tmp/.X11-unix/X$n" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$xvfb_pid" 2>/dev/null && [ -e "/tmp/.X11-unix/X$n" ]; then export DISPLAY=":$n"; break; fi
  xvfb_pid=""
done
[ -n "$xvfb_pid" ] || { echo "private-prefix: could not start Xvfb" >&2; exit 77; }
if [ "$compositor" = 1 ]; then
  xcompmgr >/dev/null 2>&1 &
  compositor_pid=$!
fi

export WINEPREFIX="$prefix"
reg() { timeout 60 "$loader" reg add "$@" /f >/dev/null 2>&1; }
if [ -n "$dpi" ]; then reg 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" || exit 77; fi
if [ -n "$windows" ]; then reg 'HKCU\Software\Wine' /v Version /t REG_SZ /d "$windows" || exit 77; fi
# The registry is read when processes start: let the wineserver write it out first.
timeout 60 "$wineserver_bin" -w || true
"$@"
