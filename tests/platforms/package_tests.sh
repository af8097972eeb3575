#!/bin/sh
# Runs inside a Debian root (test_in_root.sh): installs the package tarball
# with the root's own Octave and compiler, then runs the package's own tests
# (pkg test), the Octave host tests and the hostile-input suite on the
# installed modules (oct-files), Ctrl-C at an interactive prompt, and writes
# platform_results.m's results, each
# with octave-cli --no-history. Beside that (the two take a core each), it
# builds the MEX modules from the same tarball (make mex) into OUT_DIR/mex and
# runs the host tests and the hostile-input suite on them too; under
# emulation the MEX modules in OUT_DIR/mex are cross-built beforehand, outside
# the root, and only tested here. Last, the two
# kinds' results are compared, allowing no difference.
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
: > "$work/outcomes"

# Each step's outcome is a line in $work/outcomes, so that steps run in a
# background sequence count too.
step() {
    name=$1
    shift
    started=$(date +%s)
    if "$@" > "$out_dir/$name.log" 2>&1; then
        echo ok >> "$work/outcomes"
        echo "  ok    $name ($(( $(date +%s) - started )) s): $(tail -n 1 "$out_dir/$name.log")"
    else
        echo failed >> "$work/outcomes"
        echo "  FAIL  $name ($(( $(date +%s) - started )) s), last lines of $out_dir/$name.log:"
        tail -n 25 "$out_dir/$name.log" | sed 's/^/        /'
        return 1
    fi
}

echo "package tests in $(. /etc/os-release && echo "$PRETTY_NAME") $(dpkg --print-architecture), $($octave --version | head -n 1), $(g++ --version | head -n 1)"
mkdir -p "$out_dir"

# Under emulation (arm64 under qemu) the hostile suite takes its shorter
# lists, as under valgrind: every other value in the trainer's option fields
# (the MEX run the others) and resize_image's short list.
short_oct=""
short_mex=""
if [ "$mode" = emulated ]; then
    short_oct="--valgrind --every 2 --offset 0"
    short_mex="--valgrind --every 2 --offset 1"
fi

# Ctrl-C typed at the prompt of an interactive session in a terminal (tmux,
# in the amd64 roots' packages); left out under emulation, whose root has no
# tmux.
interactive_interrupt_test() {
    [ "$mode" = emulated ] && return
    step "$2" bash "$source_dir/tests/svm/interactive_interrupt_test.sh" octave-cli "$1"
}

oct_file_tests() {
    step install $octave "$source_dir/tests/platforms/install_package.m" "$tarball" "$work/prefix" "$work/folder" ||
        return
    if [ ! -s "$work/folder" ]; then
        echo failed >> "$work/outcomes"
        echo "  FAIL  install named no module folder"
        return
    fi
    modules=$(cat "$work/folder")
    echo "$modules" > "$out_dir/module_folder"
    step self_tests $octave "$source_dir/tests/platforms/package_self_tests.m" "$work/prefix"
    for test in svm/linsvm_fit_host image/scale/scale_bilinear_host image/gray/luma_u8_host; do
        step "$(basename "$test")" $octave "$source_dir/tests/host/run_octave_test.m" "$modules" "$source_dir/tests/${test}_test.m"
    done
    interactive_interrupt_test "$modules" interactive_interrupt
    step hostile_inputs $octave "$source_dir/tests/host/hostile_suite.m" "$modules" $short_oct
    if [ "$mode" != emulated ]; then
        step hostile_inputs_baseline env MEX_KERNELS_BASELINE=1 $octave "$source_dir/tests/host/hostile_suite.m" "$modules"
        step hostile_inputs_memory_limited env OPENBLAS_NUM_THREADS=1 sh -c 'ulimit -v 6291456 && exec "$@"' _ \
            $octave "$source_dir/tests/host/hostile_suite.m" "$modules" --memory-limited
    fi
    step platform_results $octave "$source_dir/tests/platforms/platform_results.m" "$out_dir/results.bin" "$modules"
}

# The MEX modules of the same sources, beside their help files.
mex_modules="$out_dir/mex"
build_mex_modules() {
    if [ "$mode" = emulated ]; then
        ls "$mex_modules"/*.mex &&
            echo "$(ls "$mex_modules"/*.mex | wc -l) modules cross-built outside the root (cross_build_mex.sh)"
        return
    fi
    rm -rf "$work/source" "$mex_modules" && mkdir -p "$work/source" "$mex_modules" &&
    tar -xzf "$tarball" -C "$work/source" &&
    make -C "$work"/source/*/src mex MKOCTFILE=mkoctfile &&
    cp "$work"/source/*/src/*.mex "$work"/source/*/src/*.m "$mex_modules/"
}
mex_module_tests() {
    step build_mex_modules build_mex_modules || return
    for test in svm/linsvm_fit_host image/scale/scale_bilinear_host image/gray/luma_u8_host; do
        step "$(basename "$test")_mex" $octave "$source_dir/tests/host/run_octave_test.m" "$mex_modules" \
            "$source_dir/tests/${test}_test.m"
    done
    interactive_interrupt_test "$mex_modules" interactive_interrupt_mex
    step hostile_inputs_mex $octave "$source_dir/tests/host/hostile_suite.m" "$mex_modules" $short_mex
    step platform_results_mex $octave "$source_dir/tests/platforms/platform_results.m" "$out_dir/results-mex.bin" \
        "$mex_modules"
}

oct_file_tests > "$work/oct_file_tests.out" 2>&1 &
mex_module_tests > "$work/mex_module_tests.out" 2>&1
wait
cat "$work/oct_file_tests.out" "$work/mex_module_tests.out"
step mex_and_oct_results_equal $octave "$source_dir/tests/platforms/compare_results.m" "$out_dir/results.bin" \
    "$out_dir/results-mex.bin" 0

passed=$(grep -c '^ok' "$work/outcomes")
failed=$(grep -c '^failed' "$work/outcomes")
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ -s "$out_dir/module_folder" ]
