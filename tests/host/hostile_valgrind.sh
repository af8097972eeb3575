#!/bin/bash
# Runs the hostile-input suite's short lists (--valgrind: every kind of value
# in every argument slot, not every combination; the full lists run natively
# with the sanitizers, hostile_sanitized.sh) inside octave-cli under valgrind
# memcheck, one
# process per module and per kernel choice (the fastest the processor runs
# under valgrind, and the x86-64 baseline), JOBS at a time: for the MEX
# modules in MEX_DIR, and, given OCT_DIR, for the oct-files there with the
# fastest kernels (the kernels are the same code in both kinds; the entries'
# host back ends differ). Fails when the suite fails or when memcheck reports
# any error: an invalid read or write, a use of an uninitialised value, an
# invalid free. No error is suppressed.
#
# Usage: hostile_valgrind.sh MEX_DIR LOG_DIR [JOBS [OCT_DIR]]
set -euo pipefail

mex_dir=$1
log_dir=$2
jobs=${3:-2}
oct_dir=${4:-}
here="$(cd "$(dirname "$0")" && pwd)"
suite="$here/hostile_suite.m"
mkdir -p "$log_dir"

# Where the processor's CPUID hides RDTSCP, valgrind cannot run the RDTSCP
# in libhwy's load-time initialiser (linked into Octave): a stand-in for that
# one timer query is preloaded (valgrind_timer_shim.cpp).
preload=""
# (ldd read whole: with pipefail, grep -q stopping early would fail the test.)
if ! grep -qw rdtscp /proc/cpuinfo && ldd "$(command -v octave-cli)" | grep -c libhwy > /dev/null; then
    preload="$log_dir/libvalgrind_timer_shim.so"
    g++ -O2 -shared -fPIC "$here/valgrind_timer_shim.cpp" -o "$preload"
    echo "valgrind: this processor's CPUID lists no RDTSCP; preloading $preload for libhwy"
fi

# One run: module name, kernel choice (fast or baseline) and kind (mex or oct).
run_one() {
    local module=$1 kernels=$2 kind=$3
    local log="$log_dir/$module-$kernels-$kind"
    local module_dir=$mex_dir
    [ "$kind" = oct ] && module_dir=$oct_dir
    local baseline=0
    [ "$kernels" = baseline ] && baseline=1
    local status=0
    # The trainer's option fields take every other value in each run, the
    # baseline run the others: its three runs together see every value.
    local sample=()
    [ "$module" = linsvm_fit ] && sample=(--every 2 --offset "$baseline")
    LD_PRELOAD=$preload MEX_KERNELS_BASELINE=$baseline valgrind --tool=memcheck --error-exitcode=97 --num-callers=30 \
        --log-file="$log.valgrind.log" \
        octave-cli --no-history --no-gui --quiet "$suite" "$module_dir" --only "$module" --valgrind "${sample[@]}" \
        > "$log.suite.log" 2>&1 || status=$?
    echo "$status" > "$log.status"
}
export -f run_one
export log_dir mex_dir oct_dir suite preload

# Longest first (the trainer's runs take about five times the others), so
# that the short runs fill the other slots instead of one long run ending
# alone.
runs=(linsvm_fit:fast:mex linsvm_fit:baseline:mex)
[ -n "$oct_dir" ] && runs+=(linsvm_fit:fast:oct)
runs+=(scale_bilinear:fast:mex scale_bilinear:baseline:mex luma_u8:fast:mex luma_u8:baseline:mex)
[ -n "$oct_dir" ] && runs+=(scale_bilinear:fast:oct luma_u8:fast:oct)
# resize_image: its baseline loop is the same source as its vector builds (and
# valgrind hides AVX-512), which ASan and the fuzzer cover; one run per kind.
runs+=(resize_image:fast:mex)
[ -n "$oct_dir" ] && runs+=(resize_image:fast:oct)
rm -f "$log_dir"/*.status
printf '%s\n' "${runs[@]}" | tr ':' ' ' | xargs -P "$jobs" -L 1 bash -c 'run_one "$@"' _

failed=0
total_errors=0
for run in "${runs[@]}"; do
    log="$log_dir/${run//:/-}"
    status=$(cat "$log.status" 2>/dev/null || echo missing)
    summary=$(grep -h '^hostile' "$log.suite.log" || echo "no summary line (crashed?)")
    errors=$(sed -n 's/.*ERROR SUMMARY: \([0-9]*\) errors.*/\1/p' "$log.valgrind.log" | tail -1)
    errors=${errors:-unknown}
    echo "valgrind ${run//:/ }: $errors memcheck errors; $summary"
    if [ "$status" != 0 ] || [ "$errors" != 0 ]; then
        failed=1
        echo "  FAILED (exit status $status); logs: $log.suite.log, $log.valgrind.log"
        grep -v '^hostile' "$log.suite.log" | head -20 | sed 's/^/  /'
        grep -B2 -A25 -m3 -E 'Invalid|uninitialised|Mismatched|invalid|overlap' "$log.valgrind.log" | head -90 | sed 's/^/  /'
    else
        total_errors=$((total_errors + errors))
    fi
done
[ "$failed" = 0 ] && echo "valgrind: ${#runs[@]} runs, $total_errors memcheck errors"
exit "$failed"
