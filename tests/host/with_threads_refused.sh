#!/bin/bash
# Runs an Octave test file in a session that cannot start a thread or process
# more than it has (RLIMIT_NPROC at Octave's own two threads, as a user with
# no other processes), so that every thread a kernel asks for is refused.
# The limit is not enforced for root, so the session runs as nobody; run by
# any other user, the test is skipped (exit 77).
# Usage: with_threads_refused.sh OCTAVE_CLI MEX_DIR TEST_FILE
set -euo pipefail
octave=$1
mex_dir=$2
test_file=$3
here=$(cd "$(dirname "$0")" && pwd)
if [ "$(id -u)" -ne 0 ]; then
    echo "with_threads_refused: needs root to run the session as nobody; skipped"
    exit 77
fi
refused() {
    HOME=/tmp OPENBLAS_NUM_THREADS=1 setpriv --reuid=nobody --regid=nogroup --clear-groups \
        prlimit --nproc=2 "$@"
}
# The limit holds: the session cannot start even a shell.
refused "$octave" --no-history --no-gui --quiet --eval 'exit (system ("true") == 0)' >/dev/null 2>&1 || {
    echo "with_threads_refused: the session could still start a process"
    exit 1
}
refused "$octave" --no-history --no-gui --quiet "$here/run_octave_test.m" "$mex_dir" "$test_file"
