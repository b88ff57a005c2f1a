#!/usr/bin/env bash
# The Windows program under Wine, in Xvfb with the Polish locale, driven the way an operator
# drives it against simulated controllers on pseudo-terminals linked as COM1..COM4.
#
# Both builds are shipped, so every scenario runs on the 32-bit program and again on the 64-bit
# one, each with a driver of its own architecture and a prefix of its own side. A host that runs
# 64-bit code only cannot start the 32-bit program at all: its scenarios are counted as skipped,
# with the reason.
#
# The runner owns the fixtures: one prefix per program (reused by every scenario), one Xvfb, one
# persistent wineserver, one simulator per port with the faults a scenario asks for. Every wait is
# bounded and waits for an event (a simulator's event line, a driver's report, a file, an exit);
# each scenario runs under a watchdog and everything it started is stopped even when it fails.
#
# Usage: tests/wine/run.sh [SCENARIO...]   (default: all; names as listed by --list)
# Environment: SELVO_EXE runs only that program (SELVO_DRIVER then names a driver of its
# architecture); DM730SIM overrides the simulator; SCENARIO_LIMIT and SUITE_LIMIT bound the time
# of one scenario and of one program's run; SELVO_WINE64_ONLY=1 behaves as a host that runs
# 64-bit code only.
set -uo pipefail
cd "$(dirname "$0")/../.." || exit 1
ROOT=$PWD
SIM=${DM730SIM:-$ROOT/build/native/tools/dm730sim/dm730sim}
ARTIFACTS=$ROOT/build/wine-artifacts
SCENARIO_LIMIT=${SCENARIO_LIMIT:-120}   # seconds for one scenario
SUITE_LIMIT=${SUITE_LIMIT:-540}         # seconds for one program's run, set-up included

# shellcheck source=tests/wine/prefix.sh
source "$ROOT/tests/wine/prefix.sh"
# shellcheck source=tests/wine/checks.sh
source "$ROOT/tests/wine/checks.sh"
# shellcheck source=tests/wine/scenarios.sh
source "$ROOT/tests/wine/scenarios.sh"

if [ "${1:-}" = "--list" ]; then
  printf '%s\n' "${SCENARIOS[@]}"
  exit 0
fi
wanted=("$@")
[ ${#wanted[@]} -gt 0 ] || wanted=("${SCENARIOS[@]}")

if [ -n "${SELVO_EXE:-}" ]; then
  arch=$(pe_arch "$SELVO_EXE") || { echo "wine suite: $SELVO_EXE is not a Windows program" >&2; exit 1; }
  programs=("$arch")
else
  programs=(x86 x64)
fi

declare -A SIDE_NAME=([x86]=32-bit [x64]=64-bit)
declare -A TEST_PREFIX=([x86]=build/wine-test-prefix [x64]=build/wine-test-prefix64)

passed=0
failed=0
skipped=0
failed_names=()
ART=""

suite_stop() {
  [ -z "$ART" ] || stop_scenario_leftovers
  wine_fixture_stop
}
trap suite_stop EXIT
trap 'exit 130' INT TERM

# Every wanted scenario on the program of one architecture.
run_program() {   # ARCH
  local arch=$1 name left start scenarios_start
  SELVO=${SELVO_EXE:-$ROOT/build/windows-$arch/Selvo.exe}
  DRIVER=${SELVO_DRIVER:-$ROOT/build/windows-$arch/tests/wine/selvo-driver.exe}
  local f
  for f in "$SELVO" "$DRIVER" "$SIM"; do
    if [ ! -f "$f" ]; then
      echo "wine suite: $f is missing (build with bash tools/build.sh)" >&2
      return 1
    fi
  done
  ART=$ARTIFACTS/$arch
  mkdir -p "$ART"
  start=$SECONDS
  wine_fixture_init "$ROOT/${TEST_PREFIX[$arch]}" "$arch"
  # A fresh prefix for every run: nothing a previous run left in it can make a check pass.
  rm -f "$WINEPREFIX/.selvo-prefix"
  xvfb_start || return 1
  if ! wine_prefix_ensure || ! wine_windows_managed N; then
    echo "wine suite: the prefix could not be made (see $WINE_FIXTURE_LOG)" >&2
    return 1
  fi
  echo "wine suite: ${SIDE_NAME[$arch]} program ${SELVO#"$ROOT"/}, prefix ready in $((SECONDS - start)) s, display $DISPLAY"
  scenarios_start=$SECONDS
  for name in "${wanted[@]}"; do
    left=$((SUITE_LIMIT - (SECONDS - start)))
    if [ $left -le 5 ]; then
      echo "FAIL $name: not run, the ${SUITE_LIMIT} s of this program's run are used up"
      failed=$((failed + 1)); failed_names+=("$arch/$name")
      continue
    fi
    if run_scenario "$name" $((left < SCENARIO_LIMIT ? left : SCENARIO_LIMIT)); then
      passed=$((passed + 1))
    else
      failed=$((failed + 1)); failed_names+=("$arch/$name")
    fi
  done
  echo "wine suite: ${SIDE_NAME[$arch]} program: $((SECONDS - start)) s in all, $((SECONDS - scenarios_start)) s of scenarios; artifacts in ${ART#"$ROOT"/}"
  wine_fixture_stop
}

rm -rf "$ARTIFACTS"
for arch in "${programs[@]}"; do
  if [ "$arch" = x86 ] && ! wine_runs_32bit; then
    echo "wine suite: the 32-bit program was not run: $WINE32_MISSING"
    skipped=$((skipped + ${#wanted[@]}))
    continue
  fi
  if ! run_program "$arch"; then
    echo "wine suite: the ${SIDE_NAME[$arch]} program could not be run"
    failed=$((failed + ${#wanted[@]})); failed_names+=("$arch/*")
  fi
done

[ $failed -eq 0 ] || echo "wine suite: failed: ${failed_names[*]}"
echo "$passed passed, $failed failed, $skipped skipped"
[ $failed -eq 0 ]
