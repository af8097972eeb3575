#!/bin/bash
# Makes (or reuses) several Debian roots side by side with debian_root.sh:
# debootstrap and apt are mostly bound by the network and the disk, so the
# roots take little longer together than the slowest alone. Each root's output
# goes to LOG_DIR/SUITE-ARCH.log; a summary line per root is printed, with
# the last lines of the log of any that failed.
# Usage: debian_roots.sh LOG_DIR "SUITE ARCH ROOT PACKAGE..." ...
set -uo pipefail

log_dir=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$log_dir"
started=$(date +%s)

pids=()
logs=()
for wanted in "$@"; do
    # shellcheck disable=SC2086
    set -- $wanted
    log="$log_dir/$1-$2.log"
    logs+=("$log")
    (
        begun=$(date +%s)
        "$here/debian_root.sh" "$@"
        status=$?
        echo "debian_roots: exit status $status after $(( $(date +%s) - begun )) s"
        exit $status
    ) > "$log" 2>&1 &
    pids+=($!)
done

status=0
for i in "${!pids[@]}"; do
    if wait "${pids[$i]}"; then
        echo "debian_roots: $(basename "${logs[$i]}" .log): $(grep -E '^debian_root: .*(ready|reusing)' "${logs[$i]}" | tail -n 1 | sed 's/^debian_root: //'), $(tail -n 1 "${logs[$i]}" | sed 's/^debian_roots: //')"
    else
        status=1
        echo "debian_roots: $(basename "${logs[$i]}" .log) FAILED, last lines of ${logs[$i]}:"
        tail -n 15 "${logs[$i]}" | sed 's/^/    /'
    fi
done
echo "debian_roots: all done after $(( $(date +%s) - started )) s"
exit $status
