# Checks for the shell tests (sourced, POSIX sh): check DESCRIPTION COMMAND...
# runs COMMAND quietly and prints "ok" or "FAIL" with DESCRIPTION;
# finish_checks prints the counts and returns non-zero when a check failed.
passed=0
failed=0
check() {
    description=$1
    shift
    if "$@" >/dev/null 2>&1; then
        passed=$((passed + 1)); echo "  ok    $description"
    else
        failed=$((failed + 1)); echo "  FAIL  $description"
    fi
}
finish_checks() {
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ]
}
