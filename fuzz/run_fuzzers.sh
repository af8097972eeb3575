#!/bin/bash
# Runs every fuzz target for SECONDS from its committed corpus (fuzz/corpus/
# TARGET, left unchanged: new inputs go to BUILD_DIR/work/TARGET), JOBS at a
# time. Fails when any target crashes, trips a sanitizer, times out or finds
# a variant that differs from the plain kernel; the input is kept as
# BUILD_DIR/TARGET-crash-* (or -timeout-*, -oom-*) and shown.
#
# Usage: run_fuzzers.sh BUILD_DIR [SECONDS] [JOBS]
set -euo pipefail

build_dir=$(cd "$1" && pwd)
seconds=${2:-60}
jobs=${3:-2}
corpus_root="$(cd "$(dirname "$0")" && pwd)/corpus"
targets=(fit_weights_fuzz fit_sparse_fuzz bilinear_resample_fuzz weighted_luma_fuzz separable_resize_fuzz)

run_target() {
    local target=$1
    mkdir -p "$build_dir/work/$target"
    rm -f "$build_dir/$target".status "$build_dir/$target"-crash-* "$build_dir/$target"-timeout-* "$build_dir/$target"-oom-*
    local status=0
    (cd "$build_dir" && ./"$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -max_len=4096 \
        -print_final_stats=1 -artifact_prefix="$build_dir/$target-" \
        "work/$target" "$corpus_root/$target" > "$target.log" 2>&1) || status=$?
    echo "$status" > "$build_dir/$target.status"
}
export -f run_target
export build_dir seconds corpus_root

printf '%s\n' "${targets[@]}" | xargs -P "$jobs" -I{} bash -c 'run_target {}'

failed=0
for target in "${targets[@]}"; do
    status=$(cat "$build_dir/$target.status" 2>/dev/null || echo missing)
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$build_dir/$target.log" | tail -1)
    coverage=$(grep -o 'cov: [0-9]*' "$build_dir/$target.log" | tail -1)
    echo "fuzz $target: ${runs:-?} runs in ${seconds} s, ${coverage:-cov: ?} edges, exit status $status"
    if [ "$status" != 0 ]; then
        failed=1
        grep -E -A30 'ERROR|SUMMARY|runtime error' "$build_dir/$target.log" | head -60 | sed 's/^/  /'
        ls "$build_dir/$target"-crash-* "$build_dir/$target"-timeout-* "$build_dir/$target"-oom-* 2>/dev/null | sed 's/^/  input: /'
    fi
done
exit "$failed"
