#!/usr/bin/env bash
# Every test: installs what is missing, builds all presets, runs the native
# suite (sanitizers, simulator on ptys) and the Windows programs under Wine: the 32-bit one where
# the host runs 32-bit code, and the 64-bit one everywhere; then builds the release once and
# checks it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
bash tools/build.sh
ctest --preset native -j "$(nproc)"
bash tests/wine/run.sh
bash tools/release.sh
bash tests/release/check.sh
