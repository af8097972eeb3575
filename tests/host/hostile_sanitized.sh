#!/bin/bash
# Runs the hostile-input suite's full lists (every value in every slot, every
# combination) natively on the modules of a build made with AddressSanitizer
# and UndefinedBehaviorSanitizer (cmake/Sanitizers.cmake): the MEX modules
# with the fastest and with the baseline kernels, and the oct-files with the
# fastest, JOBS at a time. octave-cli itself is not built with the
# sanitizers, so their runtimes are preloaded. Any report ends Octave (the
# build stops at the first error), and the run fails; so does the suite on a
# malformed result or an unexpected error.
#
# Allocations the host cannot make are refused as they would be without the
# sanitizer (allocator_may_return_null), since the suite asks for results
# too large to have; leaks are not reported: Octave frees its own memory as
# it pleases, and the modules' are checked under valgrind. Octave's own
# allocations go through the sanitizer's allocator too: with its default
# quarantine of freed memory and a stack recorded at every allocation the
# suite runs 20 times slower than natively, with a small quarantine and no
# allocation stacks about 3 times (a report still shows where the bad access
# was; run again with the defaults for where its memory came from).
#
# Usage: hostile_sanitized.sh SANITIZE_BUILD_DIR LOG_DIR [JOBS]
set -euo pipefail

build_dir=$1
log_dir=$2
jobs=${3:-2}
here="$(cd "$(dirname "$0")" && pwd)"
suite="$here/hostile_suite.m"
mkdir -p "$log_dir"

preload="$(g++ -print-file-name=libasan.so) $(g++ -print-file-name=libubsan.so)"
for library in $preload; do
    [ -f "$library" ] || { echo "hostile_sanitized: no $library (g++'s sanitizer runtime)" >&2; exit 1; }
done

# One run: kind (mex or oct) and kernel choice (fast or baseline).
run_one() {
    local kind=$1 kernels=$2
    local log="$log_dir/$kind-$kernels"
    local baseline=0
    [ "$kernels" = baseline ] && baseline=1
    local status=0
    LD_PRELOAD=$preload MEX_KERNELS_BASELINE=$baseline \
        ASAN_OPTIONS=detect_leaks=0:allocator_may_return_null=1:abort_on_error=1:quarantine_size_mb=16:malloc_context_size=0 \
        UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        octave-cli --no-history --no-gui --quiet "$suite" "$build_dir/$kind" > "$log.log" 2>&1 || status=$?
    echo "$status" > "$log.status"
}
export -f run_one
export log_dir build_dir suite preload

runs=(mex:fast oct:fast mex:baseline)
rm -f "$log_dir"/*.status
printf '%s\n' "${runs[@]}" | tr ':' ' ' | xargs -P "$jobs" -L 1 bash -c 'run_one "$@"' _

failed=0
for run in "${runs[@]}"; do
    log="$log_dir/${run//:/-}"
    status=$(cat "$log.status" 2>/dev/null || echo missing)
    summary=$(grep -h '^hostile' "$log.log" || echo "no summary line (a sanitizer report or a crash ended it?)")
    echo "sanitized ${run//:/ }: exit status $status; $summary"
    if [ "$status" != 0 ]; then
        failed=1
        grep -v '^hostile\|failed to allocate' "$log.log" | head -60 | sed 's/^/  /'
    fi
done
[ "$failed" = 0 ] && echo "sanitized: ${#runs[@]} runs of the full lists, no sanitizer report"
exit "$failed"
