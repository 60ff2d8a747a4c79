# Named stages of a script: each runs, passes, fails or is skipped with a reason, and a summary
# at the end says which.  Sourced after common.sh.

_tessaly_stage_names=()
_tessaly_stage_results=()  # passed, failed or skipped
_tessaly_stage_notes=()    # seconds taken, or the reason for a skip

_tessaly_record() {
    _tessaly_stage_names+=("$1")
    _tessaly_stage_results+=("$2")
    _tessaly_stage_notes+=("$3")
}

# tessaly_stage NAME CMD...: runs CMD; returns its status.
tessaly_stage() {
    local name=$1
    shift
    printf '\n===== %s =====\n' "$name" >&2
    local started=$SECONDS status=0
    "$@" || status=$?
    local taken="$((SECONDS - started))s"
    if [[ $status -eq 0 ]]; then
        _tessaly_record "$name" passed "$taken"
        tessaly_say "$name passed ($taken)"
    else
        _tessaly_record "$name" failed "$taken, exit status $status"
        tessaly_warn "$name FAILED ($taken, exit status $status)"
    fi
    return "$status"
}

tessaly_skip() {
    _tessaly_record "$1" skipped "$2"
    tessaly_warn "$1 skipped: $2"
}

tessaly_stage_passed() {
    local i
    for i in "${!_tessaly_stage_names[@]}"; do
        if [[ ${_tessaly_stage_names[i]} == "$1" ]]; then
            [[ ${_tessaly_stage_results[i]} == passed ]]
            return
        fi
    done
    return 1
}

# Prints every stage with its result; returns non-zero when any stage failed.
tessaly_stages_summary() {
    local i passed=0 failed=0 skipped=0
    printf '\n===== summary =====\n'
    for i in "${!_tessaly_stage_names[@]}"; do
        printf '%-8s %-28s %s\n' "${_tessaly_stage_results[i]}" "${_tessaly_stage_names[i]}" \
            "${_tessaly_stage_notes[i]}"
        case ${_tessaly_stage_results[i]} in
        passed) passed=$((passed + 1)) ;;
        failed) failed=$((failed + 1)) ;;
        skipped) skipped=$((skipped + 1)) ;;
        esac
    done
    printf 'stages: %d passed, %d failed, %d skipped\n' "$passed" "$failed" "$skipped"
    [[ $failed -eq 0 ]]
}
