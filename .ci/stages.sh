# Stages of .ci/run (sourced, bash): each stage is one command whose output
# goes to its own log, timed in wall and processor seconds; stages may run
# two at a time. At the end a table says where the time went.
#
#   stage NAME COMMAND...        runs a stage and waits for it
#   stage_in_background NAME COMMAND...
#                                starts a stage; wait_for_stages waits for it
#   wait_for_stages              waits for every stage started in the background
#   stage_table                  the table of every stage, and the closing line
#
# A failed stage has its whole log printed when it ends; the run goes on, so
# that one failure does not hide another, and fails at the end, naming it.

ci_log_dir=${CI_LOG_DIR:-build-ci}
mkdir -p "$ci_log_dir"
: > "$ci_log_dir/stages"
ci_started=$(date +%s.%N)
ci_background=()

# Runs COMMAND in a subshell whose children's processor time `times` reports
# (every process of the stage that was waited for: make, compilers, tests).
ci_run_stage() {
    local name=$1
    shift
    local log="$ci_log_dir/$name.log"
    local begun status
    begun=$(date +%s.%N)
    (
        "$@"
        status=$?
        # Not in a pipeline: that would report a subshell's children instead.
        times > "$ci_log_dir/$name.times"
        exit $status
    ) > "$log" 2>&1 < /dev/null
    status=$?
    local ended
    ended=$(date +%s.%N)
    # times prints the children's user and system time as 1m2.345s 0m6.789s.
    local processor
    processor=$(awk 'NR == 2 { n = 0; for (i = 1; i <= 2; i++) { split($i, p, "m"); n += p[1] * 60 + p[2] } printf "%.0f", n }' \
        "$ci_log_dir/$name.times" 2> /dev/null || echo 0)
    echo "$name $status $begun $ended $processor" >> "$ci_log_dir/stages"
    if [ "$status" -eq 0 ]; then
        echo "ci: $name passed ($(awk -v b="$begun" -v e="$ended" 'BEGIN { printf "%.0f", e - b }') s): $(tail -n 1 "$log")"
    else
        # The whole log, in one piece even when another stage runs beside it.
        {
            echo "ci: $name FAILED (exit status $status); its whole log, $log:"
            sed 's/^/  | /' "$log"
            echo "ci: end of the log of $name"
        } > "$ci_log_dir/$name.failure"
        cat "$ci_log_dir/$name.failure"
    fi
    return "$status"
}

stage() {
    echo "ci: $1 started: ${*:2}"
    ci_run_stage "$@" || true
}

stage_in_background() {
    echo "ci: $1 started beside others: ${*:2}"
    ci_run_stage "$@" &
    ci_background+=($!)
}

wait_for_stages() {
    local pid
    for pid in "${ci_background[@]}"; do
        wait "$pid" || true
    done
    ci_background=()
}

# One line a stage: its wall and processor seconds and how many cores it kept
# busy (processor / wall), then the run's wall time and the closing line.
stage_table() {
    local total failed passed
    total=$(awk -v b="$ci_started" -v e="$(date +%s.%N)" 'BEGIN { printf "%.0f", e - b }')
    echo
    echo "ci: where the time went (wall and processor seconds; cores: processor / wall)"
    printf 'ci:   %-22s %7s %7s %9s %6s  %s\n' stage start wall processor cores outcome
    sort -k3 -n "$ci_log_dir/stages" | awk -v t0="$ci_started" '{
        wall = $4 - $3
        outcome = $2 == 0 ? "passed" : ("FAILED (" $2 ")")
        printf "ci:   %-22s %7.0f %7.0f %9.0f %6.2f  %s\n", $1, $3 - t0, wall, $5, (wall > 0 ? $5 / wall : 0), outcome
    }'
    awk '{ p += $5 } END { printf "ci:   %-22s %7s %7s %9.0f\n", "all stages", "", "", p }' "$ci_log_dir/stages"
    passed=$(awk '$2 == 0' "$ci_log_dir/stages" | wc -l)
    failed=$(awk '$2 != 0' "$ci_log_dir/stages" | wc -l)
    echo "ci: all of .ci/run took $total s ($(( total / 60 )) min $(( total % 60 )) s)"
    if [ "$failed" -gt 0 ]; then
        echo "ci: failed: $(awk '$2 != 0 { printf "%s%s", sep, $1; sep = ", " }' "$ci_log_dir/stages")"
    fi
    echo "ci: $passed passed, $failed failed"
    [ "$failed" -eq 0 ]
}
