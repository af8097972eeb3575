#!/bin/sh
# Installs the named Debian packages that are not installed yet: with apt-get
# when run as root, through sudo otherwise, and not at all when none is missing.
# A user who is not root and has no sudo, or whom sudo refuses, is told which
# packages are missing and the command that installs them, and the script
# fails.
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

tell_root_command() {
    echo "Missing Debian packages:$missing" >&2
    echo "Installing them needs root. As root (su -, or ask whoever runs this machine):" >&2
    echo "    apt-get update && apt-get install --no-install-recommends$missing" >&2
    echo "then run make again." >&2
}

if [ "$(id -u)" -eq 0 ]; then
    sudo=""
elif command -v sudo >/dev/null 2>&1; then
    sudo="sudo"
else
    tell_root_command
    exit 1
fi
echo "Installing missing packages:$missing"
# sudo resets the environment, so the frontend is set on apt-get's own
# command line (debconf would otherwise try to open a dialog).
install_missing() {
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -q &&
        # shellcheck disable=SC2086
        $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing
}
if ! install_missing; then
    # sudo refused (not in the sudoers file, no password) or apt-get failed:
    # either way the user needs the packages and the command.
    [ -n "$sudo" ] && tell_root_command
    exit 1
fi
