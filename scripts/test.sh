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
displayfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$displayfile" 2>/dev/null &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -f "$displayfile"' EXIT
for _ in $(seq 100); do [ -s "$displayfile" ] && break; sleep 0.1; done
[ -s "$displayfile" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$displayfile")"

cd "$build"
ctest --output-on-failure -j"$(nproc)" --timeout 300
