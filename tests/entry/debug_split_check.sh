#!/usr/bin/env bash
# The shipped binaries carry no debug sections; each names its <file>.debug in a debug link,
# and that file beside it holds the debug information.
#   debug_split_check.sh <objdump> <binary>...
set -uo pipefail
objdump="$1"; shift
status=0
for bin in "$@"; do
  name=$(basename "$bin")
  sections=$("$objdump" -h "$bin") || { echo "debug_split_check: cannot read $bin"; exit 1; }
  if grep -q ' \.debug_' <<<"$sections"; then
    echo "debug_split_check: $name still has debug sections"; status=1
  fi
  # The link section holds the file name, NUL-padded, then a CRC: the dump's text column.
  link=$("$objdump" -s -j .gnu_debuglink "$bin" 2>/dev/null | sed -n 's/^ [0-9a-f]* \(.\{35\}\)  \(.*\)$/\2/p' | tr -d '\n')
  [[ "$link" == "$name.debug."* ]] || { echo "debug_split_check: $name has no debug link to $name.debug (found '$link')"; status=1; }
  debug="$bin.debug"
  if ! "$objdump" -h "$debug" 2>/dev/null | grep -q ' \.debug_info'; then
    echo "debug_split_check: $debug is missing or holds no debug information"; status=1
  fi
  echo "$name: $(stat -c %s "$bin") bytes shipped, $(stat -c %s "$debug" 2>/dev/null || echo 0) bytes of debug information beside it"
done
[ $status -eq 0 ] && echo "debug_split_check: passed"
exit $status
