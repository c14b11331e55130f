#!/usr/bin/env bash
# Installs what the build and the test bed need on Debian 12; quick when all is there.
# Works as root or through sudo.
set -euo pipefail
packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  g++-mingw-w64-x86-64-posix mingw-w64-tools
  wine64 xvfb x11-utils xdotool imagemagick fonts-wine xcompmgr
  googletest libgtest-dev libbenchmark-dev libpcre3-dev nlohmann-json3-dev
  dpkg-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -eq 0 ]; then sudo_cmd=(); else
    command -v sudo >/dev/null || { echo "install-deps: need root or sudo to install: ${missing[*]}" >&2; exit 1; }
    sudo_cmd=(sudo)
  fi
  echo "install-deps: installing ${missing[*]}" >&2
  "${sudo_cmd[@]}" apt-get update -q >&2 || { echo "install-deps: apt-get update failed" >&2; exit 1; }
  if ! DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" >&2; then
    echo "install-deps: apt-get install failed for: ${missing[*]}" >&2; exit 1
  fi
fi
# The posix thread model is what the toolchain file names; make sure it is there.
command -v x86_64-w64-mingw32-g++-posix >/dev/null || { echo "install-deps: x86_64-w64-mingw32-g++-posix not found after install" >&2; exit 1; }
[ -x /usr/lib/wine/wine64 ] || { echo "install-deps: /usr/lib/wine/wine64 not found after install" >&2; exit 1; }
# The pcre3 sources for pcre64.dll, fetched once into the cache.
"$(dirname "$0")/fetch-pcre.sh" >/dev/null
