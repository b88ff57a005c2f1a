#!/usr/bin/env bash
# Every test: installs what is missing, builds all presets, runs the native
# suite (sanitizers, simulator on ptys) and the Windows program under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
bash tools/build.sh
ctest --preset native -j "$(nproc)"
if [ -f tests/wine/run.sh ]; then
  bash tests/wine/run.sh
fi
