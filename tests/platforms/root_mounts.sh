# Mount helpers for the Debian roots of tests/platforms (sourced, bash).

# Registers qemu-user-static's handler for ARCH (Debian name) with the
# kernel: binfmt_misc mounted, the handler enabled. Its fix-binary flag lets
# the handler run inside a chroot without a copy of qemu there.
enable_binfmt() {
    local qemu_name
    case "$1" in
        arm64) qemu_name=aarch64 ;;
        *) qemu_name=$1 ;;
    esac
    if [ ! -e /proc/sys/fs/binfmt_misc/status ]; then
        mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
    fi
    if [ ! -e "/proc/sys/fs/binfmt_misc/qemu-$qemu_name" ]; then
        update-binfmts --import "qemu-$qemu_name" >/dev/null 2>&1 || true
        update-binfmts --enable "qemu-$qemu_name"
    fi
    grep -qx enabled "/proc/sys/fs/binfmt_misc/qemu-$qemu_name" || {
        echo "qemu-$qemu_name handler is not enabled" >&2
        return 1
    }
}

# What a chroot needs to run Octave and a compiler: /proc, /dev, /dev/pts,
# /sys and a fresh /tmp. A run killed before its trap ran leaves its mounts
# behind, and mounting over them fails: they are taken down first.
mount_root() {
    local root=$1
    unmount_below "$root"
    mount -t proc proc "$root/proc"
    mount --rbind /dev "$root/dev"
    mount --make-rslave "$root/dev"
    mount -t sysfs sysfs "$root/sys"
    mount -t tmpfs tmpfs "$root/tmp"
}

# Unmounts everything mounted at or below ROOT/..., deepest first.
unmount_below() {
    local root
    root=$(realpath -m "$1")
    local mounts
    mounts=$(awk -v r="$root/" 'index($2, r) == 1 { print $2 }' /proc/self/mounts | sort -r)
    local m
    for m in $mounts; do
        umount "$m" 2>/dev/null || umount -l "$m"
    done
}
