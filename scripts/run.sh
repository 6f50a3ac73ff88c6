#!/usr/bin/env bash
# Builds the project and shows the simulated machine's storage through the library.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j2
if [ -x "$build/cli/roz" ]; then
  "$build/cli/roz" show "$@"
fi
