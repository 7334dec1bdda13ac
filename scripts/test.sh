#!/usr/bin/env bash
# Installs the test dependencies, builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer, starts a virtual X server and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh test
build=${BUILD_DIR:-build-test}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMIVIS_SANITIZE=ON
cmake --build "$build" -j"$(nproc)"

# Tests that only need some display use this one; the end-to-end tests start
# servers of their own so that their windows never meet.
exec python3 scripts/xvfb.py -- \
    ctest --test-dir "$build" --output-on-failure -j"$(nproc)" --timeout 300
