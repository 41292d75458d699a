# shellcheck shell=bash
# Shared helpers of the scripts that run the viewer in a private X server:
# starting and stopping Xvfb, waiting for the viewer's window and ending the
# viewer. Sourced after common.sh (for die), not run.

XVFB_PID=""
XVFB_DISPLAY=""

# Starts Xvfb on a free display, reported through -displayfd into a file of
# the given scratch folder; sets XVFB_PID and XVFB_DISPLAY (":N").
start_xvfb() {
    local work="$1"
    # -noreset: a server that resets when its last client leaves could refuse
    # the viewer while a window search is disconnecting.
    Xvfb -displayfd 3 -screen 0 800x800x24 -nolisten tcp -noreset \
        3>"$work/xvfb.display" </dev/null >/dev/null 2>"$work/xvfb.log" &
    XVFB_PID=$!
    local deadline=$((SECONDS + 15))
    until grep -qx '[0-9][0-9]*' "$work/xvfb.display" 2>/dev/null; do
        if ! kill -0 "$XVFB_PID" 2>/dev/null || [ "$SECONDS" -ge "$deadline" ]; then
            stop_xvfb
            die "the X server (Xvfb) did not start:
$(cat "$work/xvfb.log" 2>/dev/null)"
        fi
        sleep 0.05
    done
    XVFB_DISPLAY=":$(cat "$work/xvfb.display")"
}

# Never fails, so that it can run from an exit trap under set -e.
stop_xvfb() {
    if [ -n "$XVFB_PID" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
    fi
    XVFB_PID=""
}

# Waits for a visible window whose title matches the pattern (an extended
# regular expression) on XVFB_DISPLAY and sets WINDOW_ID. Fails when process
# PID ends first, or after LIMIT seconds (0: no limit).
#   wait_for_window PID PATTERN LIMIT
# Runs in the calling shell (not in $(...)) so that an ended child is reaped
# and seen as gone.
WINDOW_ID=""
wait_for_window() {
    local pid="$1" pattern="$2" limit="$3"
    local deadline=$((SECONDS + limit))
    WINDOW_ID=""
    while :; do
        WINDOW_ID="$(DISPLAY="$XVFB_DISPLAY" xdotool search --onlyvisible --name "$pattern" \
            2>/dev/null | head -n 1)" || true
        [ -n "$WINDOW_ID" ] && return 0
        kill -0 "$pid" 2>/dev/null || return 1
        [ "$limit" -eq 0 ] || [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.2
    done
}

# Succeeds when the picture file holds more than one colour: the viewer clears
# to black, so a drawn frame has more.
picture_drawn() {
    local colours
    colours="$(identify -format '%k' "$1" 2>/dev/null)" || return 1
    [ "${colours:-0}" -gt 1 ]
}

# Waits up to LIMIT seconds for process PID, a child of this shell, to end;
# sets ENDED_STATUS to its exit status. Fails if it is still running.
ENDED_STATUS=""
# shellcheck disable=SC2034
wait_for_end() {
    local pid="$1" limit="$2"
    local deadline=$((SECONDS + limit))
    while kill -0 "$pid" 2>/dev/null; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.1
    done
    ENDED_STATUS=0
    wait "$pid" 2>/dev/null || ENDED_STATUS=$?
}

# Ends process PID, a child of this shell, even if it is stopped: SIGTERM
# first, so that a viewer still waiting for its menu key restores the
# terminal, then SIGKILL. Never fails.
end_process() {
    local pid="$1"
    kill -TERM "$pid" 2>/dev/null || return 0
    kill -CONT "$pid" 2>/dev/null || true
    wait_for_end "$pid" 5 && return 0
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

# "status N" or, for a death by signal, "signal NAME".
describe_status() {
    if [ "$1" -gt 128 ] && kill -l "$(($1 - 128))" >/dev/null 2>&1; then
        echo "signal $(kill -l "$(($1 - 128))")"
    else
        echo "status $1"
    fi
}
