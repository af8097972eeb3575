#!/bin/bash
# Makes (or reuses) a Debian root for running the package on another
# architecture or Debian release: debootstrap's minimal base, then Octave, its
# development files, g++ and make from the same archive. A root is reused only
# when its completion marker names the same suite, architecture and packages;
# anything else (a run that stopped half way, say) is removed and made again.
# Roots of a foreign architecture run through qemu-user-static's binfmt_misc
# handler, which this script mounts and enables when needed.
#
# Usage: debian_root.sh SUITE ARCH ROOT PACKAGE...
# (Octave's development files are liboctave-dev up to bookworm, octave-dev
# from trixie on.)
set -euo pipefail

suite=$1
arch=$2
root=$3
shift 3
mirror=${DEBIAN_MIRROR:-http://deb.debian.org/debian}
packages="$*"
[ -n "$packages" ] || { echo "debian_root: no packages named" >&2; exit 2; }
marker="$root/.linsvm_image_root"
want="$suite $arch $packages"

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/platforms/root_mounts.sh
. "$here/root_mounts.sh"

host_arch=$(dpkg --print-architecture)
foreign=no
[ "$arch" != "$host_arch" ] && foreign=yes
if [ "$foreign" = yes ]; then
    enable_binfmt "$arch"
fi

if [ -f "$marker" ] && [ "$(cat "$marker")" = "$want" ]; then
    echo "debian_root: reusing $root ($want)"
    exit 0
fi

# A finished root of the same suite and architecture that lacks only some of
# the packages gets them installed, rather than being made again.
if [ -f "$marker" ] && [ "$(cut -d' ' -f1-2 "$marker")" = "$suite $arch" ]; then
    had=" $(cut -d' ' -f3- "$marker") "
    missing=""
    for package in $packages; do
        case "$had" in *" $package "*) ;; *) missing="$missing $package" ;; esac
    done
    trap 'unmount_below "$root"' EXIT
    mount_root "$root"
    # shellcheck disable=SC2086
    if chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive \
        sh -c "apt-get update -q && apt-get install -y -q --no-install-recommends $missing && apt-get clean"; then
        unmount_below "$root"
        trap - EXIT
        echo "$want" > "$marker"
        echo "debian_root: reusing $root with$missing installed ($want)"
        exit 0
    fi
    unmount_below "$root"
    trap - EXIT
fi

if [ -e "$root" ]; then
    echo "debian_root: $root is incomplete or different; making it again"
    # Never delete through a mount left inside (a bind mount of the clone).
    unmount_below "$root"
    rm -rf --one-file-system "$root"
fi
mkdir -p "$root"

started=$(date +%s)
if [ "$foreign" = yes ]; then
    debootstrap --arch="$arch" --foreign --variant=minbase "$suite" "$root" "$mirror"
    echo "debian_root: first stage done after $(( $(date +%s) - started )) s"
    trap 'unmount_below "$root"' EXIT
    mount_root "$root"
    chroot "$root" /debootstrap/debootstrap --second-stage
    echo "debian_root: second stage done after $(( $(date +%s) - started )) s"
else
    debootstrap --arch="$arch" --variant=minbase "$suite" "$root" "$mirror"
    echo "debian_root: debootstrap done after $(( $(date +%s) - started )) s"
    trap 'unmount_below "$root"' EXIT
    mount_root "$root"
fi

cp /etc/resolv.conf "$root/etc/resolv.conf"
# The testing suite's Release file carries a Valid-Until a week ahead, which a
# mirror that stops following it soon passes; the root is for tests, and the
# signatures are still checked.
echo 'Acquire::Check-Valid-Until "false";' > "$root/etc/apt/apt.conf.d/01-linsvm-no-valid-until"
# No documentation, manuals or translations: the root only builds and tests.
cat > "$root/etc/dpkg/dpkg.cfg.d/01-linsvm-nodoc" <<'CFG'
path-exclude /usr/share/doc/*
path-exclude /usr/share/man/*
path-exclude /usr/share/info/*
path-exclude /usr/share/locale/*
CFG
# shellcheck disable=SC2086
chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive \
    sh -c "apt-get update -q && apt-get install -y -q --no-install-recommends $packages && apt-get clean"
echo "debian_root: packages installed after $(( $(date +%s) - started )) s"

unmount_below "$root"
trap - EXIT
echo "$want" > "$marker"
echo "debian_root: $root ready ($want), $(du -sh --one-file-system "$root" | cut -f1)"
