#!/usr/bin/env bash
# Builds everything and runs the whole test suite headless; the exit status is ctest's.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
build=${OLM_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)"
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)" --timeout 300
