#!/usr/bin/env bash
# The hook library is mapped into every GUI process: it may import only the system libraries
# every such process has, and export exactly its two hook entry points. Whatever else it needs
# is looked up at run time (ole32 and shlwapi too: loading them and what they bring cost a
# fresh process more than the rest of the library's start).
#   dll_imports_check.sh <objdump> <dlmemb64.dll>
set -uo pipefail
objdump="$1"; dll="$2"
dump=$("$objdump" -p "$dll") || { echo "dll_imports_check: cannot read $dll"; exit 1; }
imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump" | tr 'a-z' 'A-Z' | sort | tr '\n' ' ')
expected="GDI32.DLL KERNEL32.DLL MSVCRT.DLL USER32.DLL VERSION.DLL "
exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" | sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\] //p' | sort | tr '\n' ' ')
echo "imports: $imports"
echo "exports: $exports"
[ "$imports" = "$expected" ] || { echo "dll_imports_check: imports differ from: $expected"; exit 1; }
[ "$exports" = "InstallMainHooks UninstallMainHooks " ] || { echo "dll_imports_check: exports differ"; exit 1; }
echo "dll_imports_check: passed"
