#!/usr/bin/env bash
# Fetches Debian's pcre3 source package once into a cache outside the source tree
# and prints the unpacked source folder. Never committed.
set -euo pipefail
cache="${DL_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/deskloom}/pcre3"
if src=$(ls -d "$cache"/pcre3-*/ 2>/dev/null | head -n 1) && [ -f "$src/CMakeLists.txt" ]; then
  echo "${src%/}"; exit 0
fi
sudo_cmd=""; [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
srclist=/etc/apt/sources.list.d/deskloom-src.sources
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
  echo "fetch-pcre: adding a deb-src entry ($srclist)" >&2
  sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources | $sudo_cmd tee "$srclist" >/dev/null
  $sudo_cmd apt-get update -q >&2 || { echo "fetch-pcre: apt-get update failed" >&2; exit 1; }
fi
command -v dpkg-source >/dev/null || { echo "fetch-pcre: dpkg-dev is missing (dpkg-source)" >&2; exit 1; }
tmp="$cache.tmp.$$"
rm -rf "$tmp"; mkdir -p "$tmp"
trap 'rm -rf "$tmp"' EXIT
( cd "$tmp" && apt-get source -q pcre3 >&2 ) || { echo "fetch-pcre: 'apt-get source pcre3' failed" >&2; exit 1; }
mkdir -p "$(dirname "$cache")"; rm -rf "$cache"; mv "$tmp" "$cache"; trap - EXIT
src=$(ls -d "$cache"/pcre3-*/ | head -n 1)
[ -f "$src/CMakeLists.txt" ] || { echo "fetch-pcre: unpacked source has no CMakeLists.txt" >&2; exit 1; }
echo "${src%/}"
