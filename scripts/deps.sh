#!/usr/bin/env bash
# Installs what building, running and testing need on Debian 12.
# Usage: scripts/deps.sh [run|test|bench|package|windows]
set -euo pipefail

build=(cmake g++ make pkg-config freeglut3-dev libglu1-mesa-dev libgl-dev libx11-dev
       libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev libpng-dev)
run=(libgl1-mesa-dri gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-libav)
test=(libgtest-dev libgmock-dev xvfb xauth xdotool x11-utils x11-apps apitrace imagemagick
      g++-mingw-w64-x86-64 python3 libxfixes-dev libxtst-dev gstreamer1.0-tools
      pipewire pipewire-bin wireplumber gstreamer1.0-pipewire dbus-daemon)
bench=(libbenchmark-dev xvfb x11-utils xdotool)
# CPack's library dependencies need dpkg-shlibdeps and file; the package's
# checks need the rest.
package=(dpkg-dev file)
package_checks=(lintian desktop-file-utils appstream groff-base)
# The Windows cross build (scripts/build-windows.sh, its tests built from
# GoogleTest's sources) and Wine to run it.
windows=(cmake make dpkg-dev g++-mingw-w64-x86-64 wine wine64 nsis libgtest-dev)

packages=("${build[@]}" "${run[@]}")
case "${1:-run}" in
    run) ;;
    test) packages+=("${test[@]}" "${package[@]}" "${package_checks[@]}") ;;
    bench) packages+=("${test[@]}" "${bench[@]}") ;;
    package) packages+=("${package[@]}") ;;
    windows) packages=("${windows[@]}") ;;
    *) echo "usage: $0 [run|test|bench|package|windows]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
# Another install may hold dpkg's lock for a while (a desktop's updater, a
# second build); wait for it instead of failing.
apt=("${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600)
"${apt[@]}" update
DEBIAN_FRONTEND=noninteractive "${apt[@]}" install -y --no-install-recommends "${missing[@]}"
