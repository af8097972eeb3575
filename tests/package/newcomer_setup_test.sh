#!/bin/sh
# The set-up as a newcomer meets it: make without a target prints the targets
# and the set-up commands and succeeds; the package installer installs what is
# missing as root and through sudo, with debconf kept from asking, and a user
# who has no sudo or whom sudo refuses is told the missing packages and the
# command that installs them, while with nothing missing it succeeds quietly.
# Runs the same as root or as any other user.
# Usage: newcomer_setup_test.sh REPOSITORY_ROOT
set -u
root=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/checks.sh"

make -s -C "$root" > "$work/make.out" 2>&1
status=$?
check "make without a target succeeds" test "$status" -eq 0
for line in "make test" "make demo" "make setup" "make package" "make test-octave-oldest"; do
    check "make without a target names '$line'" grep -qE "(^| )$line( |,|\$)" "$work/make.out"
done
check "make without a target changes nothing (no build folder made)" sh -c "! make -s -n -C '$root' | grep -qv '^echo'"

# The package installer run by root, by a user with sudo, by one whom sudo
# refuses and by one without sudo, each simulated in a private PATH: a stub id
# says who runs it, stub sudo and apt-get record what they are asked. Nothing
# needs root or changes the machine.
mkdir "$work/bin" "$work/sudo"
for tool in dpkg-query env; do
    ln -s "$(command -v "$tool")" "$work/bin/$tool"
done
printf '#!/bin/sh\necho "$STUB_UID"\n' > "$work/bin/id"
printf '#!/bin/sh\necho "DEBIAN_FRONTEND=${DEBIAN_FRONTEND:-unset} apt-get $*" >> "%s/apt.log"\n' "$work" > "$work/bin/apt-get"
# As sudo: a user not in the sudoers file is refused; otherwise the command
# runs with the environment reset, as sudo's env_reset leaves it.
cat > "$work/sudo/sudo" <<STUB
#!/bin/sh
echo "sudo \$*" >> "$work/sudo.log"
if [ "\$STUB_SUDO" = refuse ]; then
    echo "user2 is not in the sudoers file.  This incident will be reported." >&2
    exit 1
fi
exec /usr/bin/env -i PATH="\$PATH" "\$@"
STUB
chmod 755 "$work/bin/id" "$work/bin/apt-get" "$work/sudo/sudo"
cp "$root/tools/ensure_packages.sh" "$work/ensure_packages.sh"
missing=linsvm-image-no-such-package
# run_installer OUTPUT UID PATH [STUB_SUDO] -- PACKAGE...
run_installer() {
    output=$1 uid=$2 path=$3 sudo_behaviour=$4
    shift 4
    rm -f "$work/apt.log" "$work/sudo.log"
    env -i PATH="$path" STUB_UID="$uid" STUB_SUDO="$sudo_behaviour" /bin/sh "$work/ensure_packages.sh" "$@" \
        > "$work/$output" 2>&1
}
# failed_telling_root_command STATUS OUTPUT
failed_telling_root_command() {
    test "$1" -ne 0 && grep -q "Missing Debian packages: $missing" "$work/$2" &&
        grep -q "apt-get install --no-install-recommends $missing" "$work/$2"
}

run_installer user.out 1000 "$work/bin" "" dpkg "$missing"
status=$?
check "as a user without sudo: a missing package fails the installer, which names it and the root command" \
    failed_telling_root_command $status user.out
check "... and neither sudo nor apt-get runs" sh -c "! test -e '$work/apt.log' && ! grep -q 'sudo: not found' '$work/user.out'"
run_installer none.out 1000 "$work/bin" "" dpkg
status=$?
check "as a user without sudo: nothing missing succeeds quietly" sh -c "test $status -eq 0 && ! test -s '$work/none.out'"

run_installer root.out 0 "$work/bin:$work/sudo" "" dpkg "$missing"
status=$?
check "as root: apt-get update and install run, without sudo, with DEBIAN_FRONTEND=noninteractive" sh -c \
    "test $status -eq 0 && ! test -e '$work/sudo.log' \
     && grep -qx 'DEBIAN_FRONTEND=noninteractive apt-get update -q' '$work/apt.log' \
     && grep -qx 'DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing' '$work/apt.log'"
run_installer sudo.out 1000 "$work/bin:$work/sudo" "" dpkg "$missing"
status=$?
check "with sudo: apt-get update and install run through sudo and still see DEBIAN_FRONTEND=noninteractive" sh -c \
    "test $status -eq 0 && test \$(grep -c '^sudo ' '$work/sudo.log') -eq 2 \
     && grep -qx 'DEBIAN_FRONTEND=noninteractive apt-get update -q' '$work/apt.log' \
     && grep -qx 'DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing' '$work/apt.log'"
run_installer refused.out 1000 "$work/bin:$work/sudo" refuse dpkg "$missing"
status=$?
check "refused by sudo: the installer fails, names the missing package and the root command" \
    failed_telling_root_command $status refused.out
check "... and apt-get never runs" test ! -e "$work/apt.log"

finish_checks
