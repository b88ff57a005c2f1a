#!/usr/bin/env bash
# The Windows program under Wine, in Xvfb with the Polish locale, driven the way an operator
# drives it against simulated controllers on pseudo-terminals linked as COM1..COM4.
#
# The runner owns the fixtures: one prefix per run (reused by every scenario), one Xvfb, one
# persistent wineserver, one simulator per port with the faults a scenario asks for. Every wait is
# bounded and waits for an event (a simulator's event line, a driver's report, a file, an exit);
# each scenario runs under a watchdog and everything it started is stopped even when it fails.
#
# Usage: tests/wine/run.sh [SCENARIO...]   (default: all; names as listed by --list)
# Environment: SELVO_EXE, SELVO_DRIVER, DM730SIM override the built programs; SCENARIO_LIMIT and
# SUITE_LIMIT bound the time of one scenario and of the whole run.
set -uo pipefail
cd "$(dirname "$0")/../.." || exit 1
ROOT=$PWD
SELVO=${SELVO_EXE:-$ROOT/build/windows-x86/Selvo.exe}
DRIVER=${SELVO_DRIVER:-$ROOT/build/windows-x86/tests/wine/selvo-driver.exe}
SIM=${DM730SIM:-$ROOT/build/native/tools/dm730sim/dm730sim}
ART=$ROOT/build/wine-artifacts
SCENARIO_LIMIT=${SCENARIO_LIMIT:-120}   # seconds for one scenario
SUITE_LIMIT=${SUITE_LIMIT:-540}         # seconds for the whole run, set-up included

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

# A build tree configured before the driver existed does not know it yet.
if [ ! -f "$DRIVER" ] && [ -z "${SELVO_DRIVER:-}" ] && [ -f build/windows-x86/CMakeCache.txt ]; then
  cmake -S . -B build/windows-x86 >/dev/null && cmake --build build/windows-x86 --target selvo-driver -j2 >/dev/null
fi
for f in "$SELVO" "$DRIVER" "$SIM"; do
  if [ ! -f "$f" ]; then
    echo "wine suite: $f is missing (build with bash tools/build.sh)" >&2
    exit 1
  fi
done

rm -rf "$ART"
mkdir -p "$ART"
suite_start=$SECONDS

wine_fixture_init "$ROOT/build/wine-test-prefix"
suite_stop() {
  stop_scenario_leftovers
  wine_fixture_stop
}
trap suite_stop EXIT
trap 'exit 130' INT TERM

# A fresh prefix for every run: nothing a previous run left in it can make a check pass.
rm -f "$WINEPREFIX/.selvo-prefix"
xvfb_start || exit 1
if ! wine_prefix_ensure || ! wine_windows_managed N; then
  echo "wine suite: the prefix could not be made (see $WINE_FIXTURE_LOG)" >&2
  exit 1
fi
echo "wine suite: prefix ready in $((SECONDS - suite_start)) s, display $DISPLAY"
scenarios_start=$SECONDS

passed=0
failed=0
failed_names=()
for name in "${wanted[@]}"; do
  left=$((SUITE_LIMIT - (SECONDS - suite_start)))
  if [ $left -le 5 ]; then
    echo "FAIL $name: not run, the suite's ${SUITE_LIMIT} s are used up"
    failed=$((failed + 1)); failed_names+=("$name")
    continue
  fi
  run_scenario "$name" $((left < SCENARIO_LIMIT ? left : SCENARIO_LIMIT))
  case $? in
    0) passed=$((passed + 1)) ;;
    *) failed=$((failed + 1)); failed_names+=("$name") ;;
  esac
done

echo "wine suite: $((SECONDS - suite_start)) s in all, $((SECONDS - scenarios_start)) s of scenarios; artifacts in ${ART#"$ROOT"/}"
[ $failed -eq 0 ] || echo "wine suite: failed: ${failed_names[*]}"
echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
