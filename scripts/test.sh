#!/usr/bin/env bash
# Builds the project and runs the whole test suite (ctest -j2) on the simulated machine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j2
ctest --test-dir "$build" -j2 --output-on-failure
