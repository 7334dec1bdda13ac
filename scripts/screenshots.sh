#!/usr/bin/env bash
# Remakes docs/screenshots.png and every program's icons in
# scenes/<program>/icons: each program, started under Xvfb with the capture
# agent's built-in picture, photographs its own screen. Given program names
# (scripts/screenshots.sh NAME...), remakes only their icons.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh test
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
mapfile -t programs < "$build/programs.txt"
cmake --build "$build" -j"$(nproc)" --target "${programs[@]}" lumigrab
exec python3 scripts/screenshots.py --build "$build" --out docs/screenshots.png "$@"
