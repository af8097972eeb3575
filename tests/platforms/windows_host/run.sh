#!/bin/bash
# The Windows modules loaded and called under wine, against the Linux ones.
# The calls that the Octave host tests make are recorded once
# (record_cases.m); the Linux MEX modules make them in Octave
# (replay_cases.m) and the Windows modules in the test host
# (module_driver.exe replay), first with the fastest kernels, then with the
# baseline ones; every outcome must agree byte for byte
# (compare_host_results.m). Then the driver's own checks: Ctrl-C during long
# calls, results the host refuses.
# Usage: run.sh LINUX_BUILD_DIR WINDOWS_BUILD_DIR
set -euo pipefail
linux=$(cd "$1" && pwd)
windows=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
octave=(octave-cli --no-history --no-gui --quiet)
wine_run=$here/../wine_run.sh
driver=$windows/windows_host/module_driver.exe
work=$windows/host_cases
preload=$(find "$linux/tests/host" -name 'librefusing_allocator.so' | head -n 1)
if [ -z "$preload" ]; then
    echo "run.sh: no refusing allocator in $linux/tests/host (make build first)"
    exit 1
fi
rm -rf "$work"
mkdir -p "$work"

"${octave[@]}" "$here/record_cases.m" "$linux/mex" "$work"

# The Linux and the Windows side of each kernel choice run side by side. The
# Windows modules take three threads where they may (the results are the
# same at every thread count).
for kernels in fastest baseline; do
    baseline=""
    [ "$kernels" = baseline ] && baseline=1
    MEX_KERNELS_BASELINE=$baseline LD_PRELOAD=$preload OPENBLAS_NUM_THREADS=1 \
        "${octave[@]}" "$here/replay_cases.m" "$linux/mex" "$work/cases.mat" "$work/linux_$kernels.bin" \
        > "$work/linux_$kernels.log" 2>&1 &
    linux_replay=$!
    windows_status=0
    MEX_KERNELS_BASELINE=$baseline MEX_KERNELS_THREADS=3 \
        "$wine_run" "$driver" replay "$windows/mex" "$work/cases.bin" "$work/windows_$kernels.bin" || windows_status=$?
    linux_status=0
    wait "$linux_replay" || linux_status=$?
    cat "$work/linux_$kernels.log"
    if [ "$windows_status" -ne 0 ] || [ "$linux_status" -ne 0 ]; then
        echo "run.sh: a replay with the $kernels kernels failed (Windows $windows_status, Linux $linux_status)"
        exit 1
    fi
    echo "Windows modules against Linux, $kernels kernels:"
    "${octave[@]}" "$here/compare_host_results.m" "$work/cases.mat" "$work/linux_$kernels.bin" "$work/windows_$kernels.bin"
done

"$wine_run" "$driver" checks "$windows/mex"
