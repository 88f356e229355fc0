#!/usr/bin/env bash
# Installs what is missing, builds, and plays the bundled example.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
example=examples/README.txt
for candidate in examples/zarn.demo.ini examples/scene/example.zscn examples/object/example.x; do
  if [ -e "$candidate" ]; then example=$candidate; break; fi
done
exec build/zarn "$example" "$@"
