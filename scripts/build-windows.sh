#!/usr/bin/env bash
# Cross-builds the visualisers and lumigrab for 64-bit Windows with MinGW-w64
# into build-windows/ (or $WINDOWS_BUILD_DIR): each .exe statically linked,
# needing only the system's DLLs, packed into
# lumivis-<version>-windows-x64.zip with a README.txt, and into an installer.
# Installs what it needs on Debian 12; freeglut is built once from Debian's
# own source package and kept in the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh windows
build=${WINDOWS_BUILD_DIR:-build-windows}
mkdir -p "$build"
build=$(cd "$build" && pwd)
toolchain=$PWD/cmake/mingw-w64-x86_64.cmake
freeglut=$build/freeglut
jobs=$(nproc)

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
apt=("${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600)

# Debian lists no source packages by default: add them for the suites the
# machine already uses, so the source matches its binary packages.
add_source_entries() {
    grep -rqsE '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/ &&
        return 0
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -e "$f" ] && sed 's/^Types: deb$/Types: deb-src/' "$f" && echo
    done | "${sudo[@]}" tee /etc/apt/sources.list.d/lumivis-deb-src.sources >/dev/null
    if [ -f /etc/apt/sources.list ]; then
        sed -n 's/^deb /deb-src /p' /etc/apt/sources.list |
            "${sudo[@]}" tee /etc/apt/sources.list.d/lumivis-deb-src.list >/dev/null
    fi
    "${apt[@]}" update
}

if [ ! -f "$freeglut/install/lib/libglut.a" ]; then
    rm -rf "$freeglut"
    mkdir -p "$freeglut"
    if ! (cd "$freeglut" && apt-get source --download-only freeglut >/dev/null 2>&1); then
        add_source_entries
        (cd "$freeglut" && apt-get source --download-only freeglut >/dev/null)
    fi
    (cd "$freeglut" && dpkg-source --no-check -x ./freeglut_*.dsc source >/dev/null)
    # FREEGLUT_REPLACE_GLUT installs GL/glut.h, which the programs include.
    cmake -S "$freeglut/source" -B "$freeglut/build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$freeglut/install" \
        -DFREEGLUT_BUILD_SHARED_LIBS=OFF -DFREEGLUT_BUILD_STATIC_LIBS=ON \
        -DFREEGLUT_BUILD_DEMOS=OFF -DFREEGLUT_REPLACE_GLUT=ON >/dev/null
    cmake --build "$freeglut/build" -j"$jobs" >/dev/null
    cmake --install "$freeglut/build" >/dev/null
fi

cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_FIND_ROOT_PATH="$freeglut/install" >/dev/null
cmake --build "$build" -j"$jobs"
(cd "$build" && cpack >/dev/null)

# Only the system's DLLs may be needed: a zip must run wherever it is unpacked.
for program in $(cat "$build/programs.txt") lumigrab; do
    for dll in $(x86_64-w64-mingw32-objdump -p "$build/$program.exe" | sed -n 's/^\s*DLL Name: //p'); do
        case "${dll,,}" in
            kernel32.dll|user32.dll|gdi32.dll|advapi32.dll|shell32.dll|ole32.dll|msvcrt.dll|\
            opengl32.dll|glu32.dll|winmm.dll|mf.dll|mfplat.dll|mfreadwrite.dll) ;;
            *) echo "$program.exe needs $dll, which Windows does not have" >&2; exit 1 ;;
        esac
    done
done
ls "$build"/lumivis-*-windows-x64.*
