#!/usr/bin/env bash
# Installs what is needed, builds, and starts one visualiser (default: tunnel)
# with the capture agent from this build on PATH.
# Usage: scripts/run.sh [PROGRAM], PROGRAM one of the add_visualiser names in CMakeLists.txt
set -euo pipefail
cd "$(dirname "$0")/.."

program=${1:-tunnel}
case "$program" in
    -h|--help) sed -n '2,4p' "$0" | cut -c3-; exit 0 ;;
esac

scripts/deps.sh run
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
# The build lists its programs, one a line.
if ! grep -qxF -- "$program" "$build/programs.txt"; then
    echo "unknown visualiser '$program' ($(paste -sd, "$build/programs.txt" | sed 's/,/, /g'))" >&2
    exit 2
fi
cmake --build "$build" -j"$(nproc)" --target "$program" lumigrab
export PATH="$PWD/$build/agent:$PATH"
exec "$build/$program"
