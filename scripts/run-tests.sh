#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole suite. The "gl" tests
# render with Mesa under a private Xvfb display.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
cd build
ctest --output-on-failure -L headless -j"$(nproc)"
if ctest -N -L gl | grep -q "Total Tests: [1-9]"; then
  xvfb-run -a -s "-screen 0 1024x768x24 -noreset" ctest --output-on-failure -L gl
fi
