#!/bin/sh
# Builds the modules of an earlier commit (the last release) from this
# clone's history into OUT_DIR/mex, each renamed NAME_release so that a
# benchmark can call them beside the current ones in one Octave session.
# Usage: bench/build_release.sh COMMIT OUT_DIR
set -eu
commit=${1:?usage: build_release.sh COMMIT OUT_DIR}
out_dir=${2:?usage: build_release.sh COMMIT OUT_DIR}
root=$(cd "$(dirname "$0")/.." && pwd)
if [ -f "$out_dir/.commit" ] && [ "$(cat "$out_dir/.commit")" = "$commit" ]; then
    exit 0
fi
rm -rf "$out_dir"
mkdir -p "$out_dir/source" "$out_dir/mex"
git -C "$root" archive "$commit" | tar -x -C "$out_dir/source"
cmake -S "$out_dir/source" -B "$out_dir/build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$out_dir/build" -j 2 --target linsvm_fit scale_bilinear luma_u8 >/dev/null
for module in linsvm_fit scale_bilinear luma_u8; do
    cp "$out_dir/build/mex/$module.mex" "$out_dir/mex/${module}_release.mex"
done
echo "$commit" > "$out_dir/.commit"
