# The sanitizer builds of scripts/test: the whole tree built with clang and a sanitizer, then its
# ctest suite; the address build's program also goes through the end-to-end and reliability
# tests, where it meets a real display, real sockets, real threads, kills and outages.  Sourced after common.sh and stages.sh.

# name | build directory | -fsanitize= list
TESSALY_SANITIZER_BUILDS=(
    "address+undefined|$TESSALY_ROOT/build-asan|address,undefined"
    "thread|$TESSALY_ROOT/build-tsan|thread"
)

_tessaly_sanitizer_build() {
    local dir=$1 sanitize=$2
    TESSALY_BUILD_TYPE=Debug tessaly_build "$dir" -- -DCMAKE_CXX_COMPILER=clang++ \
        -DTESSALY_SANITIZE="$sanitize"
}

_tessaly_sanitizer_ctest() {
    local dir=$1
    ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_stack_use_after_return=1} \
        UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
        TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1} \
        ctest --test-dir "$dir" --output-on-failure --timeout 900 --no-tests=error
}

# The end-to-end tests against a sanitizer build's program.  Leaks are not reported: the
# program ends through Qt's and the C library's exit paths, which leave their caches allocated.
_tessaly_sanitizer_e2e() {
    local dir=$1
    if [[ ! -x $dir/tessaly ]]; then
        tessaly_warn "the build made no $dir/tessaly"
        return 1
    fi
    ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=0} \
        UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
        timeout --kill-after=30 $((40 * 60)) /usr/bin/python3 "$TESSALY_ROOT/tests/e2e/run_e2e.py" \
        --program "$dir/tessaly" --artifacts "$dir/e2e-artifacts"
}

# The reliability tests against a sanitizer build's program, with the same options.
_tessaly_sanitizer_reliability() {
    local dir=$1
    [[ -x $dir/tessaly ]] || return 1
    ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=0} \
        UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
        TESSALY_BUILD=$dir timeout --kill-after=30 $((30 * 60)) \
        bash "$TESSALY_ROOT/tests/e2e/reliability/run" --program "$dir/tessaly" \
        --artifacts "$dir/e2e-artifacts/reliability"
}

# tessaly_sanitizer_stages WANT_E2E: WANT_E2E 0 leaves out the end-to-end run.
tessaly_sanitizer_stages() {
    local want_e2e=${1:-1}
    local entry name dir sanitize
    if ! command -v clang++ >/dev/null 2>&1; then
        tessaly_skip "sanitizers" "no clang++"
        return
    fi
    for entry in "${TESSALY_SANITIZER_BUILDS[@]}"; do
        IFS='|' read -r name dir sanitize <<<"$entry"
        if ! tessaly_stage "build ($name)" _tessaly_sanitizer_build "$dir" "$sanitize"; then
            tessaly_skip "ctest ($name)" "its build failed"
            continue
        fi
        tessaly_stage "ctest ($name)" _tessaly_sanitizer_ctest "$dir"
        [[ $sanitize == address* ]] || continue
        if [[ $want_e2e -eq 0 ]]; then
            tessaly_skip "e2e ($name)" "--no-e2e"
            tessaly_skip "reliability ($name)" "--no-e2e"
        elif ! tessaly_is_root; then
            tessaly_skip "e2e ($name)" "needs root for its network namespaces"
            tessaly_skip "reliability ($name)" "needs root for its network namespaces"
        else
            tessaly_stage "e2e ($name)" _tessaly_sanitizer_e2e "$dir"
            tessaly_stage "reliability ($name)" _tessaly_sanitizer_reliability "$dir"
        fi
    done
}
