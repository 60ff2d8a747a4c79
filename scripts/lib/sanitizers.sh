# The sanitizer builds of scripts/test: the whole tree built with clang and a sanitizer, then its
# ctest suite.  Sourced after common.sh and stages.sh.

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

tessaly_sanitizer_stages() {
    local entry name dir sanitize
    if ! command -v clang++ >/dev/null 2>&1; then
        tessaly_skip "sanitizers" "no clang++"
        return
    fi
    for entry in "${TESSALY_SANITIZER_BUILDS[@]}"; do
        IFS='|' read -r name dir sanitize <<<"$entry"
        if tessaly_stage "build ($name)" _tessaly_sanitizer_build "$dir" "$sanitize"; then
            tessaly_stage "ctest ($name)" _tessaly_sanitizer_ctest "$dir"
        else
            tessaly_skip "ctest ($name)" "its build failed"
        fi
    done
}
