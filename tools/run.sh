#!/usr/bin/env bash
# Runs Selvo.exe under Wine on Linux: installs what is missing, builds, starts the simulated Dm730
# on a pseudo-terminal linked as COM1 of the project's own Wine prefix (Polish locale, so the
# program's code page is 1250), and opens the program on the user's display: the 32-bit program
# (prefix build/wine-prefix) where the host runs 32-bit code, else the 64-bit one (prefix
# build/wine-prefix64).
# With no display it starts a virtual one, saves a screenshot of the window and ends the program.
# Everything it started (simulator, wineserver, virtual display) stops when the program ends.
#
# Usage: tools/run.sh [DEVICE]
#   DEVICE  a real serial line with the controller on it (e.g. /dev/ttyUSB0), used as COM1
#           instead of the simulator.
# Environment: SELVO_EXE picks another build; SELVO_WINE64_ONLY=1 behaves as a host that runs
# 64-bit code only.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
device=${1:-}
if [ -n "$device" ] && [ ! -c "$device" ]; then
  echo "run: $device is not a serial device" >&2
  exit 2
fi

bash tools/setup.sh
mkdir -p build
bash tools/build.sh >build/build.log 2>&1 || { tail -30 build/build.log >&2; echo "run: build failed (build/build.log)" >&2; exit 1; }

SIM=$ROOT/build/native/tools/dm730sim/dm730sim
SHOT=$ROOT/build/selvo-window.png

# shellcheck source=tests/wine/prefix.sh
source "$ROOT/tests/wine/prefix.sh"

if [ -n "${SELVO_EXE:-}" ]; then
  SELVO=$(realpath -m "$SELVO_EXE")
  arch=$(pe_arch "$SELVO") || { echo "run: $SELVO_EXE is not a Windows program" >&2; exit 2; }
  if [ "$arch" = x86 ] && ! wine_runs_32bit; then
    echo "run: $SELVO_EXE is a 32-bit program, and $WINE32_MISSING; use build/windows-x64/Selvo.exe" >&2
    exit 2
  fi
  why="chosen by SELVO_EXE"
elif wine_runs_32bit; then
  arch=x86 why="this host runs 32-bit code"
else
  arch=x64 why="$WINE32_MISSING"
fi
SELVO=${SELVO:-$ROOT/build/windows-$arch/Selvo.exe}
DRIVER=$ROOT/build/windows-$arch/tests/wine/selvo-driver.exe
if [ "$arch" = x86 ]; then bits=32 PREFIX=build/wine-prefix; else bits=64 PREFIX=build/wine-prefix64; fi
wine_fixture_init "$ROOT/$PREFIX" "$arch"

SIM_PID=""
SELVO_PID=""
stop_all() {
  if [ -n "$SELVO_PID" ] && kill -0 "$SELVO_PID" 2>/dev/null; then
    kill "$SELVO_PID" 2>/dev/null || true
  fi
  if [ -n "$SIM_PID" ]; then
    kill -TERM "$SIM_PID" 2>/dev/null || true
    wait "$SIM_PID" 2>/dev/null || true
    SIM_PID=""
  fi
  wine_fixture_stop
}
trap stop_all EXIT
trap 'exit 130' INT TERM

headless=""
if [ -z "${DISPLAY:-}" ]; then
  headless=1
  xvfb_start
  echo "run: no display: started a virtual one ($DISPLAY); a screenshot of the window will be saved"
fi

echo "run: preparing the Wine prefix $PREFIX"
wine_prefix_ensure
# A virtual display has no window manager to wait for; a real one frames the window itself.
if [ -n "$headless" ]; then wine_windows_managed N; else wine_windows_managed Y; fi

for n in 2 3 4; do com_link "$n"; done
if [ -n "$device" ]; then
  com_link 1 "$device"
  echo "run: COM1 is $device"
else
  [ -f build/dm730-memory.bin ] || echo "run: the simulator's memory is build/dm730-memory.bin (1 MiB, starts zeroed)"
  "$SIM" --link "$WINE_LINKS/COM1" --memory "$ROOT/build/dm730-memory.bin" \
    >"$ROOT/build/dm730sim.log" 2>&1 </dev/null &
  SIM_PID=$!
  wait_until 10 grep -q '^ready ' "$ROOT/build/dm730sim.log" || { echo "run: the simulator did not start" >&2; exit 1; }
  echo "run: simulated Dm730 on COM1 (events in build/dm730sim.log)"
fi

echo "run: starting ${SELVO#"$ROOT"/}, the $bits-bit program ($why); Wine output in build/selvo-run.log"
"$WINE" "$SELVO" >"$ROOT/build/selvo-run.log" 2>&1 </dev/null &
SELVO_PID=$!

if [ -n "$headless" ]; then
  title='^Program komunikacyjny Dm730 Selvo$'
  if ! wait_until 60 bash -c 'xdotool search --onlyvisible --name "$1" >/dev/null 2>&1' _ "$title"; then
    echo "run: the window did not appear" >&2
    exit 1
  fi
  # Let detection finish and the window paint before the picture is taken.
  sleep 4
  import -display "$DISPLAY" -window root "$SHOT" 2>/dev/null && echo "run: screenshot saved as ${SHOT#"$ROOT"/}"
  # Close the window as its close button would; the not-found message (if any) first.
  "$WINE" "$DRIVER" timeout 5 box ok >/dev/null 2>&1 </dev/null || true
  "$WINE" "$DRIVER" timeout 10 close gone >/dev/null 2>&1 </dev/null || true
  wait_until 15 bash -c "! kill -0 $SELVO_PID 2>/dev/null" || kill "$SELVO_PID" 2>/dev/null || true
fi

set +e
wait "$SELVO_PID"
code=$?
set -e
SELVO_PID=""
echo "run: Selvo.exe ended with exit code $code"
