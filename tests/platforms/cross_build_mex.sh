#!/bin/bash
# The MEX modules of a foreign root's architecture, built on this machine:
# the package's own `make mex` from TARBALL, with this machine's mkoctfile
# running the cross compiler of the root's architecture against the root's
# Octave headers and libraries, into OUT_DIR beside their help files. Under
# qemu the same build takes about ten minutes of a core; the modules are then
# loaded and tested inside the root as if built there (package_tests.sh).
# The oct-files are still built inside the root, by pkg install, as users do.
# Usage: cross_build_mex.sh ROOT TARBALL OUT_DIR [JOBS]
set -euo pipefail

root=$(realpath "$1")
tarball=$(realpath "$2")
out_dir=$3
jobs=${4:-2}

case "$(cut -d' ' -f2 "$root/.linsvm_image_root")" in
    arm64) triplet=aarch64-linux-gnu machine=AArch64 ;;
    *) echo "cross_build_mex: no cross compiler known for the root $root" >&2; exit 1 ;;
esac
compiler=$triplet-g++
command -v "$compiler" > /dev/null || { echo "cross_build_mex: $compiler is not installed" >&2; exit 1; }
include_dir=$(ls -d "$root"/usr/include/octave-*/octave | head -n 1)
[ -d "$include_dir" ] || { echo "cross_build_mex: the root has no Octave headers" >&2; exit 1; }
version=$(basename "$(dirname "$include_dir")")
version=${version#octave-}
libraries="$root/usr/lib/$triplet"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tar -xzf "$tarball" -C "$work"
# mkoctfile takes each of its settings from the environment where set there;
# the Octave libraries are linked from the root (OCTLIBDIR), the C library
# from the cross compiler's own.
make -C "$work"/*/src mex -j "$jobs" MKOCTFILE="env CXX=$compiler \
INCFLAGS='-I$include_dir/.. -I$include_dir' \
OCTINCLUDEDIR=$include_dir OCTLIBDIR=$libraries/octave/$version \
LDFLAGS='-shared -Wl,-Bsymbolic -Wl,-rpath-link,$libraries/octave/$version:$libraries' mkoctfile"
rm -rf "$out_dir"
mkdir -p "$out_dir"
cp "$work"/*/src/*.mex "$work"/*/src/*.m "$out_dir/"
for module in "$out_dir"/*.mex; do
    readelf -h "$module" | grep -q "Machine: *$machine" ||
        { echo "cross_build_mex: $module is not built for $machine" >&2; exit 1; }
done
echo "cross_build_mex: $(ls "$out_dir"/*.mex | wc -l) MEX modules for $triplet, Octave $version headers of the root"
