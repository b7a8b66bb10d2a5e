#!/usr/bin/env bash
# Start-up of Zarvo against a bare QApplication: instruction counts under
# callgrind, median wall time over several runs, and peak memory.
# Usage: bench/run_startup.sh [build-dir]
set -euo pipefail
build=${1:-build}
runs=${RUNS:-11}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
export ZARVO_DRIVE_C=${ZARVO_DRIVE_C:-$(mktemp -d)/drive_c}
"$build/bench/startup_bench" >/dev/null 2>&1  # installs the drive once

instructions() {
    local out
    out=$(mktemp)
    valgrind --tool=callgrind --callgrind-out-file="$out" "$1" >/dev/null 2>&1
    callgrind_annotate "$out" 2>/dev/null | awk '/PROGRAM TOTALS/ {gsub(",", "", $1); print $1}'
    rm -f "$out"
}
median_ms() {
    local times=()
    for _ in $(seq "$runs"); do
        local start end
        start=$(date +%s%N)
        "$1" >/dev/null 2>&1
        end=$(date +%s%N)
        times+=($(( (end - start) / 1000 )))
    done
    printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {printf "%.1f", a[int((NR+1)/2)]/1000}'
}
peak_kib() {
    /usr/bin/time -f '%M' "$1" 2>&1 >/dev/null | tail -n 1
}

# Once with every image plugin installed here, once with only Qt's base ones
# (GIF, ICO, JPEG), as on a machine without qt6-image-formats-plugins and
# libqt6svg6.
qt_plugins=$(qtpaths6 --query QT_INSTALL_PLUGINS 2>/dev/null || echo /usr/lib/x86_64-linux-gnu/qt6/plugins)
base_plugins=$(mktemp -d)
for folder in "$qt_plugins"/*; do
    [ "$(basename "$folder")" = imageformats ] || ln -s "$folder" "$base_plugins/"
done
mkdir "$base_plugins/imageformats"
for plugin in libqgif.so libqico.so libqjpeg.so; do
    [ -e "$qt_plugins/imageformats/$plugin" ] && ln -s "$qt_plugins/imageformats/$plugin" "$base_plugins/imageformats/"
done

measure() {
    local title=$1
    local zi bi zt bt zm bm
    zi=$(instructions "$build/bench/startup_bench")
    bi=$(instructions "$build/bench/baseline_bench")
    zt=$(median_ms "$build/bench/startup_bench")
    bt=$(median_ms "$build/bench/baseline_bench")
    zm=$(peak_kib "$build/bench/startup_bench")
    bm=$(peak_kib "$build/bench/baseline_bench")
    echo "$title"
    printf '%-16s %16s %12s %12s\n' program instructions "median ms" "peak KiB"
    printf '%-16s %16s %12s %12s\n' zarvo "$zi" "$zt" "$zm"
    printf '%-16s %16s %12s %12s\n' baseline "$bi" "$bt" "$bm"
    awk -v a="$zi" -v b="$bi" -v c="$zm" -v d="$bm" -v e="$zt" -v f="$bt" 'BEGIN {
        printf "ratio: instructions %.2f, wall time %.2f, peak memory %.2f\n", a/b, e/f, c/d }'
}

measure "with the image plugins installed here ($(ls "$qt_plugins/imageformats" | wc -l) of them)"
echo
ZARVO_BENCH_PLUGINS=$base_plugins measure "with Qt's base image plugins only (GIF, ICO, JPEG)"
rm -rf "$base_plugins"
