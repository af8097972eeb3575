#!/bin/bash
# The package on another Debian: makes (or reuses) the root, builds the
# package tarball from this clone, installs and tests it inside the root
# (test_in_root.sh; in a root of another architecture with MEX modules
# cross-built on this machine, cross_build_mex.sh), then compares the root's results of platform_results.m
# with this machine's, from the modules in REFERENCE_MEX_DIR with the fastest
# kernels and with the baseline ones.
# Usage: package_on_debian.sh SUITE ARCH ROOT OUT_DIR REFERENCE_MEX_DIR PACKAGE...
set -euo pipefail

suite=$1
arch=$2
root=$3
out_dir=$4
reference_mex=$5
shift 5
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
octave="octave-cli --no-history --no-gui --quiet"
mode=native
[ "$arch" != "$(dpkg --print-architecture)" ] && mode=emulated

started=$(date +%s)
elapsed() { echo "$(( $(date +%s) - started )) s"; }

"$here/debian_root.sh" "$suite" "$arch" "$root" "$@"
echo "package_on_debian: root ready after $(elapsed)"

rm -rf "$out_dir"
mkdir -p "$out_dir"
tarball=$("$source_dir/package/make_package.sh" "$out_dir")
# A foreign root's MEX modules are cross-built here; its oct-files are built
# inside it by pkg install.
if [ "$mode" = emulated ]; then
    "$here/cross_build_mex.sh" "$root" "$tarball" "$out_dir/root/mex"
    echo "package_on_debian: MEX modules cross-built after $(elapsed)"
fi
"$here/test_in_root.sh" "$root" "$tarball" "$out_dir/root" "$mode"
echo "package_on_debian: package tests in the root done after $(elapsed)"

# This machine's results, fastest kernels and baseline kernels.
$octave "$here/platform_results.m" "$out_dir/reference-fast.bin" "$reference_mex"
MEX_KERNELS_BASELINE=1 $octave "$here/platform_results.m" "$out_dir/reference-baseline.bin" "$reference_mex"
status=0
for reference in fast baseline; do
    $octave "$here/compare_results.m" "$out_dir/reference-$reference.bin" "$out_dir/root/results.bin" \
        > "$out_dir/compare-$reference.log" 2>&1 || status=1
    echo "$suite $arch against this machine ($reference kernels): $(tail -n 1 "$out_dir/compare-$reference.log")"
    grep -E 'FAIL|units in the last place' "$out_dir/compare-$reference.log" | sed 's/^/  /' || true
done
[ "$status" -eq 0 ] || echo "package_on_debian: results differ; see $out_dir/compare-*.log"
echo "package_on_debian: $suite $arch done after $(elapsed)"
exit $status
