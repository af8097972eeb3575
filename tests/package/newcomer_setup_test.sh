#!/bin/sh
# The set-up as a newcomer meets it: make without a target prints the targets
# and the set-up commands and succeeds; the package installer, run by a user
# who is neither root nor has sudo, names the missing packages and the command
# that installs them, and fails, while with nothing missing it succeeds
# quietly.
# Usage: newcomer_setup_test.sh REPOSITORY_ROOT
set -u
root=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
. "$(dirname "$0")/checks.sh"

make -s -C "$root" > "$work/make.out" 2>&1
status=$?
check "make without a target succeeds" test "$status" -eq 0
for line in "make test" "make demo" "make setup" "make package" "make test-octave-oldest"; do
    check "make without a target names '$line'" grep -qE "(^| )$line( |,|\$)" "$work/make.out"
done
check "make without a target changes nothing (no build folder made)" sh -c "! make -s -n -C '$root' | grep -qv '^echo'"

# A user with neither root nor sudo: PATH holds only what the script runs.
mkdir "$work/bin"
for tool in dpkg-query id; do
    ln -s "$(command -v "$tool")" "$work/bin/$tool"
done
missing=linsvm-image-no-such-package
cp "$root/tools/ensure_packages.sh" "$work/ensure_packages.sh"
chmod 755 "$work/ensure_packages.sh"
as_user() { runuser -u nobody -- env -i PATH="$work/bin" /bin/sh "$work/ensure_packages.sh" "$@"; }
as_user dpkg "$missing" > "$work/user.out" 2>&1
status=$?
check "as a user without sudo: a missing package fails the installer" test "$status" -ne 0
check "... which names the missing package" grep -q "Missing Debian packages: $missing" "$work/user.out"
check "... and the command that installs it" grep -q "apt-get install --no-install-recommends $missing" "$work/user.out"
check "... and never runs sudo" sh -c "! grep -q 'sudo: not found' '$work/user.out'"
as_user dpkg > "$work/none.out" 2>&1
status=$?
check "as a user without sudo: nothing missing succeeds quietly" sh -c "test $status -eq 0 && ! test -s '$work/none.out'"

finish_checks
