#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, ASan/UBSan) and runs each for a bounded time,
# keeping its corpus under build/fuzz/corpus. Usage: tools/fuzz.sh [SECONDS]  (default 60 each)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
case $seconds in '' | *[!0-9]*) echo "fuzz: SECONDS must be a number" >&2; exit 2 ;; esac

# clang and its libFuzzer runtime (Debian 12: clang-14, libclang-rt-14-dev).
need=(clang cmake make libclang-rt-14-dev)
# shellcheck source=tools/packages.sh
source tools/packages.sh
install_packages fuzz "${need[@]}"

build=build/fuzz
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -DSELVO_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ >/dev/null
fi
cmake --build "$build" -j 2 >/dev/null

# Seeds that reach far into a transfer, which random bytes seldom do: a 1-block write whose
# command reply is preceded by an ACK of noise while the device refuses the frame (the
# line out of step at the last block), a plain read and a plain verify.
seeds=$build/seeds/state_machine_fuzz
mkdir -p "$seeds" "$build/seeds/protocol_fuzz" "$build/seeds/sim_parser_fuzz"
printf '\001\000\000\000\000\000\000\000\377\377\377\377\002\000\001' >"$seeds/noise-before-refused-last-block"
printf '\007\001' >"$seeds/read"
printf '\007\002\100\001\001\001\001\001' >"$seeds/verify"

failed=0
for target in protocol_fuzz state_machine_fuzz sim_parser_fuzz; do
  corpus=$build/corpus/$target
  mkdir -p "$corpus" "$build/findings/$target"
  log=$build/$target.log
  # The last line libFuzzer prints for a run holds its executions.
  if "$build/tests/fuzz/$target" "$corpus" "$build/seeds/$target" -max_total_time="$seconds" -max_len=4096 \
      -artifact_prefix="$build/findings/$target/" -print_final_stats=1 >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "fuzz: $target: ${runs:-?} executions in ${seconds} s, no findings (corpus $(find "$corpus" -type f | wc -l) inputs)"
  else
    failed=1
    echo "fuzz: $target: FINDING, see $log and $build/findings/$target/"
    grep -m 5 -E 'ERROR|violated|claimed|parser:|SUMMARY' "$log" || true
  fi
done
exit $failed
