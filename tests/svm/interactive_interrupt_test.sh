#!/bin/bash
# Ctrl-C at the prompt of an interactive octave-cli, where users press it:
# the session runs in a terminal (tmux), the keys are typed with send-keys
# and everything is read from the screen (capture-pane), not from a pipe.
# - 'interrupt', 'return': progress lines show while the call runs; Ctrl-C
#   hands back w and info.interrupted, the rest of the line runs, and the
#   session keeps working;
# - the default: Ctrl-C raises linsvm_fit:interrupted, which try catches;
# - a second Ctrl-C, after the call has returned, interrupts only what runs
#   then (a busy loop), and what the call returned is kept.
# Prints the time from the key to the next prompt for each.
# Usage: interactive_interrupt_test.sh OCTAVE_CLI MODULE_DIR
set -euo pipefail

octave=$1
module_dir=$(cd "$2" && pwd)
command -v tmux > /dev/null || { echo "interactive_interrupt_test: tmux is missing (make test installs it)" >&2; exit 1; }

# A server of its own, so that nothing else running tmux is touched.
socket="linsvm_interrupt_$$"
session=octave
tmux_() { tmux -L "$socket" "$@"; }
work=$(mktemp -d)
trap 'tmux_ kill-server 2> /dev/null || true; rm -rf "$work"' EXIT

# The screen, with the terminal's echo of Ctrl-C (^C) and trailing blanks
# taken out.
screen() { tmux_ capture-pane -p -J -S -3000 -t "$session" | sed 's/\^C//g; s/ *$//'; }
type_line() {
    tmux_ send-keys -t "$session" -l "$1"
    tmux_ send-keys -t "$session" Enter
}
now() { date +%s.%N; }
seconds_since() { awk -v start="$1" -v end="$(now)" 'BEGIN { printf "%.3f", end - start }'; }

# Waits until a line of the screen matches the extended pattern, for at most
# the seconds given; false after that.
wait_for() {
    local limit
    limit=$(awk -v now="$(now)" -v s="$2" 'BEGIN { printf "%.3f", now + s }')
    while ! screen | grep -Eq -- "$1"; do
        awk -v now="$(now)" -v limit="$limit" 'BEGIN { exit !(now < limit) }' || return 1
        sleep 0.01
    done
}
count_of() { screen | grep -Ec -- "$1" || true; }
# The prompt set below, on the last line of the screen: the session waits for input.
at_prompt() { screen | sed '/^$/d' | tail -n 1 | grep -q '^linsvm>$'; }
wait_for_prompt() {
    local k
    for k in $(seq "$(( $1 * 100 ))"); do
        at_prompt && return 0
        sleep 0.01
    done
    return 1
}

failed=0
check() {
    if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; failed=1; fi
}
give_up() {
    echo "FAILED: $1; the screen:"
    screen | sed '/^$/d' | tail -n 40
    exit 1
}

tmux_ new-session -d -s "$session" -x 220 -y 50 \
    "env TERM=xterm $octave --no-history --norc --quiet; sleep 600"
tmux_ set-option -t "$session" history-limit 5000 > /dev/null
wait_for '>$' 60 || give_up "no prompt from Octave"
type_line "PS1 ('linsvm> ');"
# Typed ahead of the new prompt, the next line would be echoed twice on one
# row and wrap into its own output.
wait_for_prompt 60 || give_up "no prompt after PS1"
type_line "addpath ('$module_dir'); X = randn (1024, 4000); y = sign (randn (1, 4000)); printf ('using %s\\n', which ('linsvm_fit'))"
wait_for '^using ' 60 || give_up "the session never started"
wait_for_prompt 10 || give_up "no prompt after setting up"
screen | grep '^using '

# 'interrupt', 'return', with progress lines.
type_line "try; [w, info] = linsvm_fit (X, y, 'nbite', 2e9, 'seed', 1, 'interrupt', 'return', 'verbose', true); printf ('returned %d weights, interrupted %d\\n', numel (w), info.interrupted); catch err; printf ('caught %s\\n', err.identifier); end; printf ('the rest of the line ran\\n')"
progress='^linsvm_fit: [0-9]+ of 2000000000 steps'
wait_for "$progress" 30 || give_up "no progress line while the call ran"
sleep 1.2
lines_before=$(count_of "$progress")
check "progress lines show on the screen while the call runs ($lines_before so far)" "[ $lines_before -ge 2 ]"
check "... and the call is still running" "! at_prompt"
pressed=$(now)
tmux_ send-keys -t "$session" C-c
wait_for_prompt 10 || give_up "no prompt after Ctrl-C with 'interrupt', 'return'"
return_latency=$(seconds_since "$pressed")
screen | grep -E '^(returned|caught|the rest|linsvm_fit: [0-9]+ steps in)' || true
check "'return': Ctrl-C hands back w and info.interrupted" "screen | grep -q '^returned 1025 weights, interrupted 1$'"
check "... raising nothing" "! screen | grep -q '^caught'"
check "... and the rest of the line runs" "screen | grep -q '^the rest of the line ran$'"
type_line "printf ('kept: w %d, info %d, steps made %d\\n', exist ('w', 'var'), exist ('info', 'var'), info.steps > 0)"
wait_for '^kept: ' 10 || give_up "the session stopped answering"
check "... and the session keeps working, with w and info" "screen | grep -q '^kept: w 1, info 1, steps made 1$'"

# The default.
type_line "try; linsvm_fit (X, y, 'nbite', 2e9, 'seed', 1); printf ('not interrupted\\n'); catch err; printf ('default: caught %s\\n', err.identifier); end; printf ('after the default\\n')"
sleep 1.5
check "the default call is running" "! at_prompt"
pressed=$(now)
tmux_ send-keys -t "$session" C-c
wait_for_prompt 10 || give_up "no prompt after Ctrl-C with the default"
error_latency=$(seconds_since "$pressed")
check "the default: Ctrl-C raises linsvm_fit:interrupted, caught by try" \
    "screen | grep -q '^default: caught linsvm_fit:interrupted$' && screen | grep -q '^after the default$'"

# A second Ctrl-C once the call has returned: only the busy loop after it stops.
type_line "[w2, info2] = linsvm_fit (X, y, 'nbite', 2e9, 'seed', 2, 'interrupt', 'return', 'verbose', true); printf ('second call returned, interrupted %d\\n', info2.interrupted); t0 = tic; while (toc (t0) < 60) end; printf ('busy loop ran to its end\\n')"
wait_for '^linsvm_fit: training on .*seed 2$' 30 || give_up "the second call never started"
sleep 1.2
tmux_ send-keys -t "$session" C-c
wait_for '^second call returned, interrupted 1$' 10 || give_up "the second call did not return on Ctrl-C"
sleep 0.5
check "the busy loop after the call runs" "! at_prompt"
pressed=$(now)
tmux_ send-keys -t "$session" C-c
wait_for_prompt 10 || give_up "the second Ctrl-C did not stop the busy loop"
loop_latency=$(seconds_since "$pressed")
check "a second Ctrl-C, after the call returned, stops only the busy loop" "! screen | grep -q '^busy loop ran to its end$'"
type_line "printf ('after the second Ctrl-C: w2 %d, interrupted %d, session answers %d\\n', exist ('w2', 'var'), info2.interrupted, 1 + 1)"
wait_for '^after the second Ctrl-C: ' 10 || give_up "the session stopped answering"
check "... keeping what the call returned" "screen | grep -q '^after the second Ctrl-C: w2 1, interrupted 1, session answers 2$'"

if [ $failed -ne 0 ]; then
    echo "The screen:"
    screen | sed '/^$/d'
fi
type_line "exit"
echo "Ctrl-C to the prompt: 'return' $return_latency s, the default $error_latency s, a busy loop $loop_latency s"
exit $failed
