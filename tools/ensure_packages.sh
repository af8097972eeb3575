#!/bin/sh
# Installs the named Debian packages that are not installed yet: with apt-get
# when run as root, through sudo otherwise, and not at all when none is missing.
# A user who is not root and has no sudo is told which packages are missing
# and the command that installs them, and the script fails.
set -eu

missing=""
for package in "$@"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    case "$status" in
        *"ok installed"*) ;;
        *) missing="$missing $package" ;;
    esac
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
    sudo=""
elif command -v sudo >/dev/null 2>&1; then
    sudo="sudo"
else
    # Neither root nor sudo: say what is missing and how to get it.
    echo "Missing Debian packages:$missing" >&2
    echo "Installing them needs root. As root (su -, or ask whoever runs this machine):" >&2
    echo "    apt-get update && apt-get install --no-install-recommends$missing" >&2
    echo "then run make again." >&2
    exit 1
fi
echo "Installing missing packages:$missing"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
# shellcheck disable=SC2086
$sudo apt-get install -y -q --no-install-recommends $missing
