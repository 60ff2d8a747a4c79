# One Wine session for a test: a fresh prefix whose server and programs all run inside one network
# namespace, with output to files only (Wine's services inherit the output of the program that
# starts them, and a pipe they hold would never close).  Everything started here is stopped when
# the script ends.  Sourced after scripts/lib/common.sh.

TESSALY_WINE64=${TESSALY_WINE64:-/usr/lib/wine/wine64}
TESSALY_WINE_TIMEOUT=${TESSALY_WINE_TIMEOUT:-300}  # seconds; only a guard against hangs

# tessaly_wine_start PREFIX NAMESPACE DISPLAY LOGDIR: makes the prefix and keeps its server warm.
tessaly_wine_start() {
    export WINEPREFIX=$1 WINELOADER=$TESSALY_WINE64 WINEARCH=win64 WINEDEBUG=-all
    # No Mono or Gecko: their installers would ask to download.
    export WINEDLLOVERRIDES="mscoree,mshtml=d"
    _tessaly_wine_namespace=$2
    _tessaly_wine_display=$3
    _tessaly_wine_logs=$4
    mkdir -p "$_tessaly_wine_logs" "$WINEPREFIX"
    local wineserver
    wineserver=$(dirname "$WINELOADER")/wineserver
    ip netns exec "$_tessaly_wine_namespace" "$wineserver" -p \
        >"$_tessaly_wine_logs/wineserver.log" 2>&1 || return 1
    # Ends this prefix's server and every program of it, and nothing else.
    tessaly_on_exit env WINEPREFIX="$WINEPREFIX" "$wineserver" -k
    tessaly_wine_run boot wineboot -i
}

_tessaly_wine() {
    ip netns exec "$_tessaly_wine_namespace" env DISPLAY="$_tessaly_wine_display" "$WINELOADER" "$@"
}

# tessaly_wine_run NAME PROGRAM ARG...: runs a Windows program to its end; its output goes to
# NAME.log. Returns the program's exit code.
tessaly_wine_run() {
    local name=$1
    shift
    timeout --kill-after=10 "$TESSALY_WINE_TIMEOUT" ip netns exec "$_tessaly_wine_namespace" \
        env DISPLAY="$_tessaly_wine_display" "$WINELOADER" "$@" \
        >"$_tessaly_wine_logs/$name.log" 2>&1 </dev/null
}

# tessaly_wine_spawn NAME PROGRAM ARG...: starts a Windows program and goes on; sets
# TESSALY_WINE_SPAWNED to its process id. The process is stopped when the script ends.
tessaly_wine_spawn() {
    local name=$1
    shift
    _tessaly_wine "$@" >"$_tessaly_wine_logs/$name.log" 2>&1 </dev/null &
    TESSALY_WINE_SPAWNED=$!
    tessaly_on_exit tessaly_stop_pid "$TESSALY_WINE_SPAWNED"
}

# tessaly_wine_reg_dump KEY: prints the key's values as reg shows them; fails without the key.
tessaly_wine_reg_dump() {
    tessaly_wine_run reg reg query "$1" || return 1
    tr -d '\r' <"$_tessaly_wine_logs/reg.log"
}

# tessaly_wine_reg_value KEY NAME: prints the data of value NAME; fails when there is none.
tessaly_wine_reg_value() {
    tessaly_wine_run reg reg query "$1" /v "$2" || return 1
    tr -d '\r' <"$_tessaly_wine_logs/reg.log" | awk -v name="$2" '
        $1 == name && $2 ~ /^REG_/ {
            sub(/^[ \t]*[^ \t]+[ \t]+REG_[A-Z_]+[ \t]+/, "")
            print
            found = 1
        }
        END { exit !found }'
}
