#!/usr/bin/env bash
# Sets up a Debian 12 machine for Zarvo, builds it, and then runs the program
# (`run`) or every test (`test`).
set -euo pipefail

cd "$(dirname "$0")/.."
root=$(pwd)
build="$root/build"

packages=(cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev libgtest-dev
          tango-icon-theme librsvg2-bin qt6-translations-l10n fonts-liberation fonts-dejavu-core xvfb xauth)

install_packages() {
    local missing=()
    for p in "${packages[@]}"; do
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

configure_and_build() {
    local dir=$1; shift
    cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
    cmake --build "$dir"
}

run_tests() {
    local dir=$1
    (cd "$dir" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)" --timeout 300)
}

case "${1:-}" in
    run)
        install_packages
        configure_and_build "$build" -DZARVO_BUILD_TESTS=OFF -DZARVO_BUILD_BENCH=OFF
        exec "$build/zarvo"
        ;;
    test)
        install_packages
        configure_and_build "$build"
        run_tests "$build"
        # The same tests again under AddressSanitizer and UndefinedBehaviorSanitizer.
        configure_and_build "$root/build-sanitize" -DZARVO_SANITIZE=ON -DZARVO_BUILD_BENCH=OFF \
            -DCMAKE_BUILD_TYPE=Debug
        ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
            run_tests "$root/build-sanitize"
        ;;
    *)
        echo "usage: $0 run|test" >&2
        exit 2
        ;;
esac
