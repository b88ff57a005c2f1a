#!/usr/bin/env bash
# Configures and builds every preset: native (core, simulator, tests), windows-x86, windows-x64.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
for preset in native windows-x86 windows-x64; do
  [ -f "build/$preset/CMakeCache.txt" ] || cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done
