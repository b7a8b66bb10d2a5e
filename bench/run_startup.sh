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

zi=$(instructions "$build/bench/startup_bench")
bi=$(instructions "$build/bench/baseline_bench")
zt=$(median_ms "$build/bench/startup_bench")
bt=$(median_ms "$build/bench/baseline_bench")
zm=$(peak_kib "$build/bench/startup_bench")
bm=$(peak_kib "$build/bench/baseline_bench")
printf '%-16s %16s %12s %12s\n' program instructions "median ms" "peak KiB"
printf '%-16s %16s %12s %12s\n' zarvo "$zi" "$zt" "$zm"
printf '%-16s %16s %12s %12s\n' baseline "$bi" "$bt" "$bm"
awk -v a="$zi" -v b="$bi" -v c="$zm" -v d="$bm" -v e="$zt" -v f="$bt" 'BEGIN {
    printf "ratio: instructions %.2f, wall time %.2f, peak memory %.2f\n", a/b, e/f, c/d }'
