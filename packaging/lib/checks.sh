# The checks of the packaging tests: each says what it checked and whether it held, and the
# summary counts them.  Sourced after scripts/lib/common.sh.

_checks_passed=0
_checks_failed=0
_checks_skipped=0
_checks_failures=()

# check WHAT CMD...: runs CMD (its output goes to stderr) and records whether it succeeded.
check() {
    local what=$1
    shift
    if "$@" >&2; then
        printf 'ok    %s\n' "$what"
        _checks_passed=$((_checks_passed + 1))
    else
        printf 'FAIL  %s\n' "$what"
        _checks_failed=$((_checks_failed + 1))
        _checks_failures+=("$what")
    fi
}

# skip WHAT WHY
skip() {
    printf 'skip  %s: %s\n' "$1" "$2"
    _checks_skipped=$((_checks_skipped + 1))
}

# checks_summary NAME: prints the failures and the counts; fails when any check failed.
checks_summary() {
    local failure
    for failure in "${_checks_failures[@]}"; do
        printf 'failed: %s\n' "$failure"
    done
    printf '%s: %d passed, %d failed, %d skipped\n' "$1" "$_checks_passed" "$_checks_failed" \
        "$_checks_skipped"
    [[ $_checks_failed -eq 0 ]]
}
