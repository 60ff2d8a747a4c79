# A private X display for machines without one: Xvfb on a free display number, a tray host
# (trayer) on it, and screenshots.  Everything started here is stopped when the script ends.
# Sourced after common.sh.

_tessaly_xvfb_answers() { DISPLAY=$1 xdpyinfo; }

# Starts Xvfb on a free display number; sets TESSALY_DISPLAY (":N").  The numbers are drawn at
# random from a high range, away from the :0, :1 and :99 that other tools like to take, and a
# number that turns out to be taken (Xvfb refuses it) is replaced by another.
# tessaly_start_xvfb [WIDTHxHEIGHT] [LOGFILE]
tessaly_start_xvfb() {
    local size=${1:-1024x768} log=${2:-/dev/null}
    local number
    for _ in 1 2 3 4 5 6 7 8; do
        number=$((200 + RANDOM % 700))
        [[ -e /tmp/.X$number-lock || -e /tmp/.X11-unix/X$number ]] && continue
        Xvfb ":$number" -screen 0 "${size}x24" -nolisten tcp >"$log" 2>&1 &
        TESSALY_XVFB_PID=$!
        tessaly_on_exit tessaly_stop_pid "$TESSALY_XVFB_PID"
        TESSALY_DISPLAY=":$number"
        if _tessaly_wait_for_xvfb; then
            return 0
        fi
        tessaly_stop_pid "$TESSALY_XVFB_PID"
    done
    tessaly_warn "found no free display for Xvfb"
    return 1
}

# Waits until the Xvfb just started answers; fails at once when it has exited.
_tessaly_wait_for_xvfb() {
    local deadline=$((SECONDS + 30))
    while ((SECONDS < deadline)); do
        kill -0 "$TESSALY_XVFB_PID" 2>/dev/null || return 1
        # The lock file names the server that holds the number: it must be ours.
        if [[ $(tr -dc 0-9 2>/dev/null <"/tmp/.X${TESSALY_DISPLAY#:}-lock") == "$TESSALY_XVFB_PID" ]] &&
            _tessaly_xvfb_answers "$TESSALY_DISPLAY" >/dev/null 2>&1; then
            return 0
        fi
        sleep 0.2
    done
    return 1
}

_tessaly_tray_mapped() {
    DISPLAY=$1 xwininfo -name panel | grep -q 'Map State: IsViewable'
}

# Starts trayer, an XEmbed tray host, on TESSALY_DISPLAY, in the bottom-right corner.
tessaly_start_tray() {
    local log=${1:-/dev/null}
    DISPLAY=$TESSALY_DISPLAY trayer --edge bottom --align right --widthtype pixel --width 160 \
        --heighttype pixel --height 32 --transparent true --alpha 0 --tint 0x303030 \
        --SetDockType true --SetPartialStrut true >"$log" 2>&1 &
    TESSALY_TRAY_PID=$!
    tessaly_on_exit tessaly_stop_pid "$TESSALY_TRAY_PID"
    tessaly_wait_for 30 "the tray host" _tessaly_tray_mapped "$TESSALY_DISPLAY"
}

# Writes a screenshot of the whole display to FILE; the file is replaced whole, never half written.
tessaly_screenshot() {
    local file=$1
    local partial="$file.partial.png"
    DISPLAY=$TESSALY_DISPLAY import -window root "$partial" 2>/dev/null && mv -f "$partial" "$file"
}
