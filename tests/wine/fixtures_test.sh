#!/usr/bin/env bash
# Which side of Wine the fixtures choose: the architecture read from a program's header, and the
# answer to "can this host start the 32-bit loader", which must come from starting it.
set -uo pipefail
# shellcheck source=tests/wine/prefix.sh
source "$(dirname "$0")/prefix.sh"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failures=0
check() {   # DESCRIPTION EXPECTED ACTUAL
  if [ "$2" != "$3" ]; then
    echo "FAIL: $1: got '$3', expected '$2'"
    failures=$((failures + 1))
  fi
}

# A minimal PE header: "MZ", the header's offset at byte 60, "PE\0\0" and the machine field.
pe_file() {   # FILE MACHINE_LOW MACHINE_HIGH
  { printf 'MZ'; head -c 58 /dev/zero; printf '\100\0\0\0'; printf 'PE\0\0%b' "\\$2\\$3"; } >"$1"
}
pe_file "$dir/x86.exe" 114 001   # 0x014c
pe_file "$dir/x64.exe" 144 206   # 0x8664
pe_file "$dir/arm.exe" 304 001   # 0x01c4
printf 'not a program' >"$dir/text.exe"
for f in x86 x64 arm text; do
  check "architecture of $f.exe" "$( [ $f = x86 ] || [ $f = x64 ] && echo $f || echo none)" \
    "$(pe_arch "$dir/$f.exe" || echo none)"
done

# The loader is started, not looked up: one that exists but cannot run counts as missing.
answer() {   # LOADER [FORCE]
  WINE32_ANSWER="" WINE32_MISSING="" WINE32_LOADER=$1 SELVO_WINE64_ONLY=${2:-}
  if wine_runs_32bit; then echo yes; else echo "no: $WINE32_MISSING"; fi
}
printf '#!/bin/sh\nexit 0\n' >"$dir/runs"
printf '#!/bin/sh\nexit 126\n' >"$dir/refused"
chmod +x "$dir/runs" "$dir/refused"
check "a loader that starts" yes "$(answer "$dir/runs")"
check "a loader the kernel refuses" \
  "no: this host cannot start Wine's 32-bit loader: it runs 64-bit code only" "$(answer "$dir/refused")"
check "no loader" "no: Wine's 32-bit loader $dir/none is not installed" "$(answer "$dir/none")"
check "forced" "no: SELVO_WINE64_ONLY is set" "$(answer "$dir/runs" 1)"

[ $failures -eq 0 ] && echo "wine fixtures: all checks passed"
[ $failures -eq 0 ]
