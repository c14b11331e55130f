#!/usr/bin/env bash
# Runs a command inside the Wine test bed: an Xvfb display (started on a free number
# unless DISPLAY is given), a project-local Wine prefix (created once), quiet Wine.
# Stops the Xvfb and wineserver it started, also when the command fails or hangs.
#   scripts/testbed.sh <command> [args...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
export WINEPREFIX="${WINEPREFIX:-$root/build/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEARCH=win64
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
loader=/usr/lib/wine/wine64
for tool in "$loader" /usr/lib/wine/wineserver Xvfb xdpyinfo; do
  command -v "$tool" >/dev/null || [ -x "$tool" ] || { echo "testbed: missing $tool (run scripts/install-deps.sh)" >&2; exit 1; }
done
wineserver_bin=/usr/lib/wine/wineserver

xvfb_pid=""
cleanup() {
  local rc=$?
  # Ends every process of our prefix (test apps, hosts) and the wineserver itself.
  WINEPREFIX="$WINEPREFIX" timeout 20 "$wineserver_bin" -k >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
  exit $rc
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# A given display is used only when it answers; otherwise the test bed starts its own.
if [ -n "${DISPLAY:-}" ] && ! timeout 10 xdpyinfo >/dev/null 2>&1; then
  echo "testbed: DISPLAY=$DISPLAY does not answer; starting Xvfb" >&2
  unset DISPLAY
fi
if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 90 140); do
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
  [ -n "${DISPLAY:-}" ] || { echo "testbed: could not start Xvfb on a free display" >&2; exit 1; }
fi

# The prefix counts as made only once its marker exists; a half-made one is removed and made again.
marker="$WINEPREFIX/.deskloom-ready"
if [ ! -f "$marker" ]; then
  echo "testbed: creating Wine prefix $WINEPREFIX" >&2
  rm -rf "$WINEPREFIX"; mkdir -p "$WINEPREFIX"
  if ! timeout 300 "$loader" wineboot -i >/dev/null 2>&1; then
    echo "testbed: could not create the Wine prefix $WINEPREFIX (wineboot -i failed)" >&2
    rm -rf "$WINEPREFIX"; exit 1
  fi
  timeout 60 "$wineserver_bin" -w || true
  # No window manager under Xvfb: Wine draws frames and caption bars itself.
  key='HKCU\Software\Wine\X11 Driver'
  timeout 60 "$loader" reg add "$key" /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1 &&
    timeout 60 "$loader" reg add "$key" /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 || {
      echo "testbed: could not configure the Wine prefix $WINEPREFIX" >&2; rm -rf "$WINEPREFIX"; exit 1; }
  timeout 60 "$wineserver_bin" -w || true
  touch "$marker"
fi
# Wine draws its own caption buttons with Marlett; this Wine finds the packaged fonts only
# in the prefix's Fonts folder.
fonts="$WINEPREFIX/drive_c/windows/Fonts"
if [ ! -f "$fonts/marlett.ttf" ]; then
  [ -f /usr/share/wine/fonts/marlett.ttf ] || { echo "testbed: /usr/share/wine/fonts/marlett.ttf missing (package fonts-wine)" >&2; exit 1; }
  mkdir -p "$fonts" && cp /usr/share/wine/fonts/*.ttf "$fonts/"
fi
export DL_WINE_LOADER="$loader"
"$@"
