# Shared by scripts/run and scripts/test: messages, the repository's paths and a stack of undo
# steps that runs when the script ends, however it ends.  Sourced, never run.

TESSALY_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
TESSALY_BUILD=${TESSALY_BUILD:-$TESSALY_ROOT/build}

tessaly_say() { printf '==> %s\n' "$*" >&2; }
tessaly_warn() { printf '!!! %s\n' "$*" >&2; }
tessaly_die() {
    printf '!!! %s\n' "$*" >&2
    exit 1
}

# Undo steps, each a command line quoted word by word; they run last-in first-out.
_tessaly_undo=()

# tessaly_on_exit CMD ARG...: run CMD ARG... when the script ends.
tessaly_on_exit() {
    local quoted
    quoted=$(printf '%q ' "$@")
    _tessaly_undo+=("$quoted")
}

tessaly_run_undo() {
    local i
    for ((i = ${#_tessaly_undo[@]} - 1; i >= 0; i--)); do
        eval "${_tessaly_undo[i]}" || true
    done
    _tessaly_undo=()
}

# The EXIT trap does the work; INT and TERM only turn into an exit so that it runs once.
trap 'tessaly_run_undo' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

tessaly_is_root() { [[ $(id -u) -eq 0 ]]; }

# Runs a command as root: directly when we are root, through sudo when it is there.
tessaly_as_root() {
    if tessaly_is_root; then
        "$@"
    elif command -v sudo >/dev/null 2>&1; then
        sudo "$@"
    else
        tessaly_die "'$*' needs root, and there is no sudo"
    fi
}

# Waits, a generous while, for a command to succeed.  tessaly_wait_for SECONDS WHAT CMD...
tessaly_wait_for() {
    local seconds=$1 what=$2
    shift 2
    local deadline=$((SECONDS + seconds))
    until "$@" >/dev/null 2>&1; do
        if ((SECONDS >= deadline)); then
            tessaly_warn "gave up waiting for $what after ${seconds}s"
            return 1
        fi
        sleep 0.2
    done
}

_tessaly_running() {
    local stat
    stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
    # The state follows the command name, which is in parentheses and may hold blanks.
    stat=${stat##*) }
    [[ ${stat:0:1} != Z ]]
}

# Stops a process that this script started, by its id, and reaps it.
tessaly_stop_pid() {
    local pid=$1
    kill -0 "$pid" 2>/dev/null || return 0
    kill -TERM "$pid" 2>/dev/null
    # A child that has ended stays a zombie until it is reaped; that counts as ended.
    for _ in $(seq 50); do
        _tessaly_running "$pid" || break
        sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

tessaly_cpu_count() { nproc 2>/dev/null || echo 2; }

# Configures and builds one build tree with Ninja.  tessaly_build DIR [TARGET...] -- [CMAKE ARG...]
tessaly_build() {
    local dir=$1
    shift
    local targets=()
    while [[ $# -gt 0 && $1 != -- ]]; do
        targets+=("$1")
        shift
    done
    [[ ${1:-} == -- ]] && shift
    tessaly_say "configuring $dir"
    # A tree configured before keeps its generator; a new one gets Ninja.
    local generator=(-G Ninja)
    [[ -f $dir/CMakeCache.txt ]] && generator=()
    cmake -S "$TESSALY_ROOT" -B "$dir" "${generator[@]}" -DCMAKE_BUILD_TYPE="${TESSALY_BUILD_TYPE:-RelWithDebInfo}" \
        -DTESSALY_WERROR=ON "$@" || return 1
    tessaly_say "building $dir${targets[*]:+ (${targets[*]})}"
    cmake --build "$dir" --parallel "$(tessaly_cpu_count)" ${targets[@]:+--target "${targets[@]}"}
}
