#!/usr/bin/env bash
# A window made 50 % transparent over a known background, seen on the screen: the screenshot
# (kept in the artefacts) shows the window's white mixed half and half with the black below.
#   transparency_screenshot.sh <transparency_shot.exe> <artefacts folder>
# Needs a compositing manager on the display (scripts/private-prefix.sh --compositor).
set -uo pipefail
exe="$1"; artifacts="$2"
loader="${DL_WINE_LOADER:-/usr/lib/wine/wine64}"
mkdir -p "$artifacts"
shot="$artifacts/transparency_50.png"
work=$(mktemp -d)
trap 'touch "$work/done"; wait 2>/dev/null; rm -rf "$work"' EXIT
"$loader" "$exe" "Z:${work//\//\\}" &
for _ in $(seq 1 300); do [ -e "$work/ready" ] && break; sleep 0.1; done
[ -e "$work/ready" ] || { echo "transparency_screenshot: the windows never showed"; exit 1; }

pixel() {  # x y -> "r g b" of the last screenshot
  /usr/bin/convert "$shot" -format "%[fx:int(255*p{$1,$2}.r+0.5)] %[fx:int(255*p{$1,$2}.g+0.5)] %[fx:int(255*p{$1,$2}.b+0.5)]" info:
}
# The compositor paints a moment after the window shows: look until the picture settles.
window="" background=""
for _ in $(seq 1 50); do
  /usr/bin/import -display "$DISPLAY" -window root "$shot" 2>/dev/null || { sleep 0.2; continue; }
  window=$(pixel 200 150); background=$(pixel 50 50)
  read -r r g b <<<"$window"
  [ "$background" = "0 0 0" ] && [ "$r" -gt 20 ] && [ "$r" -lt 235 ] && break
  sleep 0.2
done
echo "background (50,50): $background; transparent window (200,150): $window; screenshot $shot"
[ "$background" = "0 0 0" ] || { echo "transparency_screenshot: background is not black"; exit 1; }
read -r r g b <<<"$window"
# Alpha 127 of white over black is 127; a few steps either way for the compositor's rounding.
for c in "$r" "$g" "$b"; do
  if [ "$c" -lt 119 ] || [ "$c" -gt 135 ]; then
    echo "transparency_screenshot: window pixel $window is not half-way between black and white"; exit 1
  fi
done
echo "transparency_screenshot: passed"
