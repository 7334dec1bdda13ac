#!/usr/bin/env bash
# Remakes docs/screenshots.png: each program, started under Xvfb with the
# capture agent's built-in picture, photographs its own screen.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh test
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)" --target colorspace teapot planes relief tunnel lumigrab

work=$(mktemp -d)
chmod 700 "$work"
displayfile="$work/display"
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$displayfile" 2>/dev/null &
xvfb=$!
agent=""
cleanup() {
    [ -n "$agent" ] && kill "$agent" 2>/dev/null
    kill "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
for _ in $(seq 100); do [ -s "$displayfile" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$displayfile")"
export XDG_RUNTIME_DIR="$work"
export PATH="$PWD/$build/agent:$PATH"

lumigrab --source pattern &
agent=$!
sleep 2

# Pointer positions are the turning angles in degrees: a view a little from
# the side shows each scene's depth.
declare -A pointer=([colorspace]="40 25" [teapot]="30 20" [planes]="35 30" [relief]="25 40"
                    [tunnel]="20 10")
mkdir -p docs
shots=()
for program in colorspace teapot planes relief tunnel; do
    "$build/$program" &
    pid=$!
    sleep 1
    # Motion inside the full-screen window is what steers it.
    xdotool mousemove 1 1 mousemove ${pointer[$program]}
    sleep 7
    import -window root "$work/$program.png"
    window=$(xwininfo -root -children | awk '/640x480\+0\+0/ {print $1; exit}')
    if [ -n "$window" ]; then
        xdotool windowfocus --sync "$window" key Escape || kill "$pid"
    else
        kill "$pid"
    fi
    wait "$pid" || true
    shots+=("$work/$program.png")
done
montage "${shots[@]}" -tile 3x2 -geometry 320x240+4+4 -background '#202020' docs/screenshots.png
echo "wrote docs/screenshots.png"
