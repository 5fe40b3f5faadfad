# Sourced by the test and run commands: virtual displays (and the window
# manager of a desktop one) owned by the caller, each stopped by its pid
# when the caller exits, pass or fail.

XVFB_PIDS=()

# start_xvfb VAR [Xvfb options...]: starts an Xvfb on a free display number
# (-displayfd) and stores ":N" in VAR.
start_xvfb() {
    local var=$1
    shift
    local numberFile
    numberFile=$(mktemp)
    # -noreset: by default Xvfb resets when its last client leaves, and a test
    # that connects during the reset is refused.
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset "$@" 3>"$numberFile" \
        </dev/null >/dev/null 2>&1 &
    XVFB_PIDS+=($!)
    local tries=0
    while [ ! -s "$numberFile" ]; do
        tries=$((tries + 1))
        if [ "$tries" -gt 300 ] || ! kill -0 "${XVFB_PIDS[-1]}" 2>/dev/null; then
            echo "xvfb: Xvfb did not start" >&2
            rm -f "$numberFile"
            return 1
        fi
        sleep 0.1
    done
    printf -v "$var" ':%s' "$(head -n1 "$numberFile" | tr -d '[:space:]')"
    rm -f "$numberFile"
}

stop_xvfbs() {
    local pid
    for pid in "${XVFB_PIDS[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${XVFB_PIDS[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    XVFB_PIDS=()
}

# start_desktop VAR: an Xvfb with openbox managing it, as a user's desktop
# is.
start_desktop() {
    local var=$1
    start_xvfb "$var" || return 1
    start_desktop_on "${!var}"
}

# start_desktop_on DISPLAY: openbox on a running display; returns once the
# window manager has announced itself on the root window
# (_NET_SUPPORTING_WM_CHECK), so the first window is managed.
start_desktop_on() {
    local display=$1 tries=0
    DISPLAY=$display openbox --sm-disable </dev/null >/dev/null 2>&1 &
    XVFB_PIDS+=($!)
    until DISPLAY=$display xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
        tries=$((tries + 1))
        if [ "$tries" -gt 300 ] || ! kill -0 "${XVFB_PIDS[-1]}" 2>/dev/null; then
            echo "xvfb: openbox did not start on $display" >&2
            return 1
        fi
        sleep 0.1
    done
}
