#!/usr/bin/env bash
# Builds an optimised tree and prints every benchmark figure.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh bench
build=${BUILD_DIR:-build-bench}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DLUMIVIS_BUILD_BENCH=ON -DBUILD_TESTING=OFF \
    >/dev/null
cmake --build "$build" -j"$(nproc)"

echo "== Display passes, full screen at 640 x 480"
python3 bench/visual_bench.py --build "$build" --rounds "${ROUNDS:-3}"
echo
echo "== Frame source per pass, without GL"
"$build/bench/frame_source_bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
echo
echo "== Windows build under Wine beside the native programs, full screen at 640 x 480"
scripts/build-windows.sh >/dev/null
python3 bench/wine_bench.py --build "$build" --windows "${WINDOWS_BUILD_DIR:-build-windows}"
if [ -x bench/agent/run.sh ]; then
    echo
    echo "== Capture agent"
    BUILD_DIR="$build" bench/agent/run.sh
fi
