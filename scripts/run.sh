#!/usr/bin/env bash
# Installs what is needed, builds, and starts one visualiser (default: tunnel)
# with the capture agent from this build on PATH.
# Usage: scripts/run.sh [colorspace|teapot|planes|relief|tunnel]
set -euo pipefail
cd "$(dirname "$0")/.."

program=${1:-tunnel}
case "$program" in
    colorspace|teapot|planes|relief|tunnel) ;;
    -h|--help) sed -n '2,4p' "$0" | cut -c3-; exit 0 ;;
    *) echo "unknown visualiser '$program' (colorspace, teapot, planes, relief, tunnel)" >&2; exit 2 ;;
esac

scripts/deps.sh run
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target "$program" lumigrab
export PATH="$PWD/$build/agent:$PATH"
exec "$build/$program"
