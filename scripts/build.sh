#!/usr/bin/env bash
# Configures and builds Zarn into build/ (extra arguments go to cmake).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
launcher=()
# ccache, when present, lets several checkouts share one compile cache.
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}"
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" >/dev/null
cmake --build build -j"$(nproc)"
