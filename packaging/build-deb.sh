#!/usr/bin/env bash
# Builds the Debian package in a build folder of its own and checks it with
# lintian, which fails on errors only:
#   packaging/build-deb.sh [build-folder]        (default: build-deb)
# The package is left in the build folder as zarvo_<version>_<arch>.deb.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build-deb}")

for tool in cmake ninja cpack dpkg-buildflags dpkg-shlibdeps lintian; do
    command -v "$tool" >/dev/null || { echo "build-deb: $tool is missing" >&2; exit 1; }
done

# Compiled with Debian's own hardening flags, as a package built by
# debhelper would be; they map the source folder away from the debug paths,
# so they are asked for from there.
cd "$root"
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)" \
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=None \
        -DZARVO_BUILD_TESTS=OFF -DZARVO_BUILD_BENCH=OFF
cmake --build "$build"

rm -f "$build"/zarvo_*.deb
(cd "$build" && cpack -G DEB)
deb=$(ls "$build"/zarvo_*.deb)
dpkg-deb --info "$deb"
lintian --fail-on error --display-level '>=pedantic' "$deb"
echo "build-deb: $deb"
