# Sourced by the project's commands: what is happening now, with the time
# since the outermost command started, so a long step never looks hung.

export OPENGL_TEST_STARTED=${OPENGL_TEST_STARTED:-$(date +%s)}

# say MESSAGE...: one line, "[m:ss] MESSAGE".
say() {
    local now
    now=$(date +%s)
    PROGRESS_SAID=$now
    local elapsed=$((now - OPENGL_TEST_STARTED))
    printf '[%d:%02d] %s\n' $((elapsed / 60)) $((elapsed % 60)) "$*"
}

# progress_filter NAME: reads a long tool's output (apt, a build) and shows
# its newest line every few seconds, errors and warnings at once, so the
# user sees it move without reading every line.
progress_filter() {
    local name=$1 line last_shown=0 now pending=""
    while IFS= read -r line; do
        case "$line" in
            E:* | W:* | *error* | *Error* | *FAILED*) say "$name: $line"; pending=""; continue ;;
        esac
        now=$(date +%s)
        if [ $((now - last_shown)) -ge 5 ]; then
            say "$name: ${line:0:150}"
            last_shown=$now
            pending=""
        else
            pending=$line
        fi
    done
    [ -z "$pending" ] || say "$name: ${pending:0:150}"
}

# with_heartbeat NAME COMMAND...: runs COMMAND, saying every 15 s that NAME
# is still running: a long test or compile prints nothing until it ends.
# The first beat counts from this shell's last line, so that short commands
# in a row (apt asked several times) are not silent for longer.
with_heartbeat() {
    local name=$1 beat status=0 first
    shift
    first=$((15 - $(date +%s) + ${PROGRESS_SAID:-0}))
    [ "$first" -ge 1 ] || first=1
    # The nap runs in the background so that the TERM below ends the
    # heartbeat at once: bash runs a trap only after its foreground child.
    (
        nap=
        trap 'kill $nap 2>/dev/null; exit 0' TERM
        while :; do
            sleep "$first" &
            nap=$!
            first=15
            wait "$nap"
            say "$name: still running"
        done
    ) &
    beat=$!
    "$@" || status=$?
    kill "$beat" 2>/dev/null || true
    wait "$beat" 2>/dev/null || true
    return "$status"
}
