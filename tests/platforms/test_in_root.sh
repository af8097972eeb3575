#!/bin/bash
# Runs the package tests (package_tests.sh) inside a Debian root made by
# debian_root.sh: the clone is bind-mounted read-only at /mnt/source, OUT_DIR
# read-write at /mnt/out, and the package is installed into the root's own
# fresh /tmp, so the root itself is left as it was. Afterwards the installed
# modules are checked for fused multiply-add instructions with the objdump of
# their architecture. Everything mounted is unmounted, on failure too.
# Usage: test_in_root.sh ROOT TARBALL OUT_DIR [emulated]
set -euo pipefail

root=$(realpath "$1")
tarball=$(realpath "$2")
out_dir=$3
mode=${4:-native}
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
here="$source_dir/tests/platforms"
# shellcheck source=tests/platforms/root_mounts.sh
. "$here/root_mounts.sh"

[ -f "$root/.linsvm_image_root" ] || { echo "test_in_root: $root is not a finished root" >&2; exit 1; }
[ "$mode" = emulated ] && enable_binfmt "$(cat "$root/.linsvm_image_root" | cut -d' ' -f2)"
mkdir -p "$out_dir"
out_dir=$(realpath "$out_dir")

trap 'unmount_below "$root"' EXIT
trap 'exit 130' INT TERM
mount_root "$root"
mkdir -p "$root/mnt/source" "$root/mnt/out"
mount --bind "$source_dir" "$root/mnt/source"
mount -o remount,bind,ro "$root/mnt/source"
mount --bind "$out_dir" "$root/mnt/out"
cp "$tarball" "$root/tmp/"

status=0
chroot "$root" /usr/bin/env -i HOME=/tmp PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 TMPDIR=/tmp \
    /bin/sh /mnt/source/tests/platforms/package_tests.sh /mnt/source "/tmp/$(basename "$tarball")" /mnt/out "$mode" ||
    status=$?

if [ -s "$out_dir/module_folder" ]; then
    modules="$root$(cat "$out_dir/module_folder")"
    "$source_dir/tests/host/no_fused_multiply_add.sh" "$modules"/*.oct "$out_dir"/mex/*.mex || status=1
fi
exit $status
