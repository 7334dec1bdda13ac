#!/usr/bin/env bash
# Builds the Debian package lumivis_<version>_<arch>.deb with CPack from an
# optimised tree and prints its path. BUILD_DIR names the build folder
# (default build-package); the package is written there.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh package
build=${BUILD_DIR:-build-package}
# Debian's hardening and reproducibility flags, all of them, as its own
# packages get them; CPack strips the programs.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CFLAGS="$(dpkg-buildflags --get CFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
LDFLAGS=$(dpkg-buildflags --get LDFLAGS)
export CFLAGS CXXFLAGS LDFLAGS
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DLUMIVIS_BUILD_BENCH=OFF \
    -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build "$build" -j"$(nproc)"
generated=$(cd "$build" && cpack -G DEB)
deb=$(sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p' <<<"$generated")
[ -f "$deb" ] || { echo "$generated" >&2; echo "CPack made no package" >&2; exit 1; }
echo "$deb"
