#!/bin/sh
# Runs inside a Debian root (test_in_root.sh): installs the package tarball
# with the root's own Octave and compiler, then runs the package's own tests
# (pkg test), the Octave host tests and the hostile-input suite on the
# installed modules and writes
# platform_results.m's results, each with octave-cli --no-history.
# Usage: package_tests.sh SOURCE_DIR TARBALL OUT_DIR [emulated]
#   emulated: under qemu, where address-space caps count the emulator's own
#   reservations; the capped hostile run and the baseline run (the same
#   kernels where the architecture has no run-time choice) are left out.
set -u

source_dir=$1
tarball=$2
out_dir=$3
mode=${4:-native}
octave="octave-cli --no-history --no-gui --quiet"
work=$(mktemp -d)
passed=0
failed=0

step() {
    name=$1
    shift
    started=$(date +%s)
    if "$@" > "$out_dir/$name.log" 2>&1; then
        passed=$((passed + 1))
        echo "  ok    $name ($(( $(date +%s) - started )) s): $(tail -n 1 "$out_dir/$name.log")"
    else
        failed=$((failed + 1))
        echo "  FAIL  $name ($(( $(date +%s) - started )) s), last lines of $out_dir/$name.log:"
        tail -n 25 "$out_dir/$name.log" | sed 's/^/        /'
    fi
}

echo "package tests in $(. /etc/os-release && echo "$PRETTY_NAME") $(dpkg --print-architecture), $($octave --version | head -n 1), $(g++ --version | head -n 1)"
mkdir -p "$out_dir"
step install $octave "$source_dir/tests/platforms/install_package.m" "$tarball" "$work/prefix" "$work/folder"
if [ ! -s "$work/folder" ]; then
    echo "0 passed, 1 failed"
    exit 1
fi
modules=$(cat "$work/folder")
echo "$modules" > "$out_dir/module_folder"

step self_tests $octave "$source_dir/tests/platforms/package_self_tests.m" "$work/prefix"
for test in svm/linsvm_fit_host image/scale_bilinear_host image/luma_u8_host; do
    step "$(basename "$test")" $octave "$source_dir/tests/host/run_octave_test.m" "$modules" "$source_dir/tests/${test}_test.m"
done
step hostile_inputs $octave "$source_dir/tests/host/hostile_suite.m" "$modules"
if [ "$mode" != emulated ]; then
    step hostile_inputs_baseline env MEX_KERNELS_BASELINE=1 $octave "$source_dir/tests/host/hostile_suite.m" "$modules"
    step hostile_inputs_memory_limited env OPENBLAS_NUM_THREADS=1 sh -c 'ulimit -v 6291456 && exec "$@"' _ \
        $octave "$source_dir/tests/host/hostile_suite.m" "$modules" --memory-limited
fi
step platform_results $octave "$source_dir/tests/platforms/platform_results.m" "$out_dir/results.bin" "$modules"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
