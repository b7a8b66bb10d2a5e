#!/usr/bin/env bash
# Sets up a Debian 12 machine for Zarvo, builds it, and then runs the program
# (`run`) or every test (`test`); `test-windows` cross-builds the Win32 system
# layer with mingw-w64 and runs its tests under Wine; `package` builds the
# Debian package and checks it with lintian; `bench` prints how close and how
# quickly `--make-screen` makes screen files, next to ImageMagick and pngquant.
#
# `run` and `test` share build/, configured the same way, so that switching
# between them rebuilds nothing: `run` builds only the program there. `test`
# also builds build-sanitize/ (Debug, AddressSanitizer and
# UndefinedBehaviorSanitizer) and build-release/ (the README's install build).
set -euo pipefail

cd "$(dirname "$0")/.."
root=$(pwd)
build="$root/build"

# qt6-image-formats-plugins and libqt6svg6: the pictures people find today
# (WebP, TIFF, SVG...), read wherever the program reads a picture.
packages=(cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev libgtest-dev
          tango-icon-theme librsvg2-bin qt6-translations-l10n fonts-liberation fonts-dejavu-core xvfb xauth
          desktop-file-utils appstream mtools dosfstools fdisk
          qt6-image-formats-plugins libqt6svg6)
# The disks of today's emulators (qcow2, VDI, VMDK, VHDX, dynamic VHD) are
# opened through QEMU's block layer: qemu-nbd serves the image, nbdfuse
# shows it as a raw file over FUSE. The tests also check that QEMU cannot
# write an image Zarvo holds.
image_format_packages=(qemu-utils libnbd-bin fuse3)
# Wine: the Wine prefix test brings values into a real prefix's registry;
# icoutils: icotool lists the images of the icons the Icon page makes;
# groff-base: the manual page is rendered to check that every path is whole.
test_packages=("${packages[@]}" "${image_format_packages[@]}" wine wine64 icoutils groff-base)
# The Debian package: dpkg-shlibdeps for its dependencies, lintian to check it.
package_packages=("${packages[@]}" dpkg-dev lintian)
# The screen-file quality bench compares with ImageMagick and pngquant on the
# photos of two wallpaper packages.
bench_packages=("${packages[@]}" imagemagick pngquant mate-backgrounds plasma-workspace-wallpapers)
# 64-bit Wine only: the tests are 64-bit programs, no i386 architecture needed.
# googletest: its sources, built with the cross compiler.
windows_packages=(cmake ninja-build g++-mingw-w64-x86-64 googletest wine wine64 locales)

install_packages() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -eq 0 ]; then
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -qq
        apt-get install -y -qq --no-install-recommends "${missing[@]}"
    else
        echo "zarvo: these Debian packages are missing; install them with:" >&2
        echo "  sudo apt-get install -y ${missing[*]}" >&2
        exit 1
    fi
}

configure() {
    local dir=$1; shift
    cmake -S "$root" -B "$dir" -G Ninja "$@"
}

# Every option spelled out: a build/ left by an older script keeps whatever
# its cache holds otherwise.
configure_main() {
    configure "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZARVO_SANITIZE=OFF \
        -DZARVO_BUILD_TESTS=ON -DZARVO_BUILD_BENCH=ON
}

run_tests() {
    local dir=$1
    (cd "$dir" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)" --timeout 300)
}

# Without a Russian locale Wine runs in code page 1252 instead of 1251.
ensure_russian_locale() {
    locale -a 2>/dev/null | grep -qix 'ru_RU.utf8' && return 0
    if [ "$(id -u)" -eq 0 ]; then
        localedef -i ru_RU -f UTF-8 ru_RU.UTF-8
    else
        echo "zarvo: the ru_RU.UTF-8 locale is missing; make it with:" >&2
        echo "  sudo localedef -i ru_RU -f UTF-8 ru_RU.UTF-8" >&2
        exit 1
    fi
}

test_windows() {
    local dir=$1
    ensure_russian_locale
    cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZARVO_SYSTEM_LAYER_ONLY=ON \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake"
    cmake --build "$dir"

    # A private prefix made afresh, no display, no Mono or Gecko installers.
    export WINEPREFIX="$dir/wineprefix" WINEARCH=win64 WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml=" LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8
    unset DISPLAY WAYLAND_DISPLAY
    [ -d "$WINEPREFIX" ] && { wineserver -k >/dev/null 2>&1 || true; }
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    # Wine's server and services start here, not inside ctest, which would
    # otherwise wait for them on its output pipes.
    wineserver -p >/dev/null 2>&1
    trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
    wineboot -i >/dev/null 2>&1
    wine cmd /c exit >/dev/null 2>&1
    # One at a time: the tests share the prefix's registry and wallpaper.
    (cd "$dir" && ctest --output-on-failure --timeout 120)
}

case "${1:-}" in
    run)
        install_packages "${packages[@]}" "${image_format_packages[@]}"
        configure_main
        cmake --build "$build" --target zarvo
        exec "$build/zarvo"
        ;;
    test)
        install_packages "${test_packages[@]}"
        configure_main
        cmake --build "$build"
        run_tests "$build"
        # The same tests again under AddressSanitizer and UndefinedBehaviorSanitizer.
        configure "$root/build-sanitize" -DCMAKE_BUILD_TYPE=Debug -DZARVO_SANITIZE=ON \
            -DZARVO_BUILD_TESTS=ON -DZARVO_BUILD_BENCH=OFF
        cmake --build "$root/build-sanitize"
        ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
            run_tests "$root/build-sanitize"
        # The optimised build the README installs: it has to compile, warnings
        # and all; its tests are the ones above.
        configure "$root/build-release" -DCMAKE_BUILD_TYPE=Release \
            -DZARVO_BUILD_TESTS=OFF -DZARVO_BUILD_BENCH=OFF
        cmake --build "$root/build-release"
        ;;
    test-windows)
        install_packages "${windows_packages[@]}"
        test_windows "$root/build-win"
        ;;
    bench)
        install_packages "${bench_packages[@]}"
        configure_main
        cmake --build "$build" --target make_screen_bench screen_quality_bench
        "$build/bench/make_screen_bench"
        "$build/bench/screen_quality_bench"
        ;;
    package)
        install_packages "${package_packages[@]}"
        "$root/packaging/build-deb.sh" "$root/build-deb"
        ;;
    *)
        echo "usage: $0 run|test|test-windows|package|bench" >&2
        exit 2
        ;;
esac
