#!/usr/bin/env bash
# Builds the agent without sanitizers and prints its CPU use, frame age and
# peak memory. Usage: bench/agent/run.sh [SECONDS] [-- AGENT ARGS...]
set -euo pipefail
cd "$(dirname "$0")/../.."

build=${BUILD_DIR:-build-bench-agent}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DLUMIVIS_SANITIZE=OFF >/dev/null
cmake --build "$build" --target lumigrab -j"$(nproc)" >/dev/null
c++ -std=c++20 -O2 -Wall -Wextra -o "$build/agent_bench" bench/agent/agent_bench.cpp
exec "$build/agent_bench" "$build/agent/lumigrab" "$@"
