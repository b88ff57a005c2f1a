#!/usr/bin/env bash
# Runs Selvo.exe under Wine on Linux: installs what is missing, builds, starts the simulated Dm730
# on a pseudo-terminal linked as COM1 of the project's own Wine prefix (build/wine-prefix, Polish
# locale, so the program's code page is 1250), and opens the program on the user's display.
# With no display it starts a virtual one, saves a screenshot of the window and ends the program.
# Everything it started (simulator, wineserver, virtual display) stops when the program ends.
#
# Usage: tools/run.sh [DEVICE]
#   DEVICE  a real serial line with the controller on it (e.g. /dev/ttyUSB0), used as COM1
#           instead of the simulator.
# Environment: SELVO_EXE picks another build (default build/windows-x86/Selvo.exe).
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

SELVO=${SELVO_EXE:-$ROOT/build/windows-x86/Selvo.exe}
DRIVER=$ROOT/build/windows-x86/tests/wine/selvo-driver.exe
SIM=$ROOT/build/native/tools/dm730sim/dm730sim
SHOT=$ROOT/build/selvo-window.png
# A build tree configured before the driver existed does not know it yet.
if [ ! -f "$DRIVER" ]; then
  cmake -S . -B build/windows-x86 >>build/build.log 2>&1 && cmake --build build/windows-x86 --target selvo-driver -j2 >>build/build.log 2>&1 || true
fi

# shellcheck source=tests/wine/prefix.sh
source "$ROOT/tests/wine/prefix.sh"
wine_fixture_init "$ROOT/build/wine-prefix"

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

echo "run: preparing the Wine prefix build/wine-prefix"
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

echo "run: starting $(basename "$SELVO") (Wine output in build/selvo-run.log)"
wine "$SELVO" >"$ROOT/build/selvo-run.log" 2>&1 </dev/null &
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
  wine "$DRIVER" timeout 5 box ok >/dev/null 2>&1 </dev/null || true
  wine "$DRIVER" timeout 10 close gone >/dev/null 2>&1 </dev/null || true
  wait_until 15 bash -c "! kill -0 $SELVO_PID 2>/dev/null" || kill "$SELVO_PID" 2>/dev/null || true
fi

set +e
wait "$SELVO_PID"
code=$?
set -e
SELVO_PID=""
echo "run: Selvo.exe ended with exit code $code"
