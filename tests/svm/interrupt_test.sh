#!/bin/bash
# Ctrl-C (SIGINT) and SIGTERM during a long linsvm_fit call in a real
# octave-cli. SIGINT: the call ends within half a second with
# linsvm_fit:interrupted, the session's variables survive and the next call
# works; with 'interrupt', 'return' a call of two models on sparse examples
# returns the averaged and last weights and sampler state of the steps made
# instead, both models stopped at the same step, the same as a call of that
# many steps.
# SIGTERM: the session ends within a second, as an idle one does.
# Usage: interrupt_test.sh OCTAVE_CLI MEX_DIR
set -euo pipefail

octave=$1
mex_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

cat > session.m <<OCTAVE
addpath ('$mex_dir');
keep = 42;
X = randn (1024, 2000);
y = sign (randn (1, 2000));
try
  linsvm_fit (X, y, 'nbite', 2e9, 'seed', 1, 'verbose', true);
  disp ('not interrupted');
catch err
  printf ('caught %s: %s\n', err.identifier, err.message);
end
printf ('keep %d\n', keep);
w = linsvm_fit (X, y, 'nbite', 100, 'seed', 1);
printf ('next call gives %d weights\n', numel (w));
OCTAVE

cat > returning.m <<OCTAVE
addpath ('$mex_dir');
X = sprandn (1024, 2000, 0.05);
y = sign (randn (1, 2000));
[w, info] = linsvm_fit (X, y, 'nbite', 2e9, 'seed', 1, 'verbose', true, 'interrupt', 'return', 'lambda', [0.01 0.001], 'average', 1000);
printf ('returned %d weights, interrupted %d, after %d steps\n', numel (w), info.interrupted, info.steps);
[w2, info2] = linsvm_fit (X, y, 'nbite', info.steps, 'seed', 1, 'lambda', [0.01 0.001], 'average', 1000);
printf ('the call of that many steps: same weights %d, same state %d\n', isequal (w2, w) && isequal (info2.last, info.last), info2.state == info.state);
OCTAVE

now() { date +%s.%N; }
seconds_since() { awk -v start="$1" -v end="$(now)" 'BEGIN { printf "%.3f", end - start }'; }
below() { awk -v value="$1" -v limit="$2" 'BEGIN { exit !(value < limit) }'; }

# Waits until the session writing to log has started training.
wait_for_training() {
    for _ in $(seq 600); do
        grep -q "linsvm_fit: training" "$1" && return
        sleep 0.05
    done
    echo "interrupt_test: training never started" >&2
    cat "$1" >&2
    exit 1
}

failed=0
check() {
    if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; failed=1; fi
}

# Starts a session writing to log and sends it the signal half a second into
# training; sets pid and sent. The session runs under timeout, which passes
# the signal on and ends a session that ignores it. --foreground: otherwise
# timeout passes a signal on twice (to the session, then to its process
# group), and a second SIGINT rightly interrupts whatever the session does
# next.
signal_during_training() {
    timeout --foreground -s KILL 20 "$octave" --no-history --no-gui --quiet "${3:-session.m}" > "$2" 2>&1 &
    pid=$!
    wait_for_training "$2"
    sleep 0.5
    sent=$(now)
    kill "-$1" "$pid"
}

signal_during_training INT interrupted.log
for _ in $(seq 200); do grep -q "^caught" interrupted.log && break; sleep 0.01; done
latency=$(seconds_since "$sent")
wait "$pid" && status=0 || status=$?
cat interrupted.log
echo "SIGINT to caught error: $latency s"
check "SIGINT ends the call with linsvm_fit:interrupted" \
    "grep -q '^caught linsvm_fit:interrupted: .*interrupted by the user while training, after [0-9]* of 2000000000 steps' interrupted.log"
check "within half a second" "below $latency 0.5"
check "the session's variables survive" "grep -q '^keep 42$' interrupted.log"
check "the next call works" "grep -q '^next call gives 1025 weights$' interrupted.log"
check "the session ends normally" "[ $status -eq 0 ]"

signal_during_training INT returned.log returning.m
wait "$pid" && status=0 || status=$?
cat returned.log
check "with 'interrupt', 'return', SIGINT returns the weights" \
    "grep -q '^returned 2050 weights, interrupted 1, after [1-9][0-9]* steps' returned.log"
check "... which a call of that many steps gives, bit for bit, with its sampler state" \
    "grep -q '^the call of that many steps: same weights 1, same state 1$' returned.log"
check "... and the session ends normally" "[ $status -eq 0 ]"

signal_during_training TERM terminated.log
wait "$pid" || true
ended=$(seconds_since "$sent")
cat terminated.log
echo "SIGTERM to the end of the session: $ended s"
check "SIGTERM ends the session within a second" "below $ended 1"
check "without finishing the call" "! grep -q 'not interrupted\|^keep' terminated.log"
exit $failed
