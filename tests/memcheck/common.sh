# shellcheck shell=bash
# Helpers of the real-window checks: a private X server, waiting on the
# viewer and finding its window. Sourced, not run; the caller sets -euo
# pipefail and defines die().

# Starts Xvfb on a free display; sets XVFB_PID and DISPLAY. Needs WORK.
start_xvfb() {
    Xvfb -displayfd 3 -screen 0 800x800x24 -nolisten tcp 3>"$WORK/display" 2>/dev/null &
    XVFB_PID=$!
    local _
    for _ in $(seq 100); do
        [ -s "$WORK/display" ] && break
        sleep 0.1
    done
    [ -s "$WORK/display" ] || die "Xvfb did not start"
    DISPLAY=":$(cat "$WORK/display")"
    export DISPLAY
}

# Never fails, so that it can run from an exit trap under set -e.
stop_xvfb() {
    if [ -n "${XVFB_PID:-}" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
    fi
    XVFB_PID=""
}

# Polls until the command succeeds; fails, saying why on standard error, when
# process PID ends first or after LIMIT seconds.
#   wait_until PID LIMIT WHAT COMMAND...
wait_until() {
    local pid="$1" limit="$2" what="$3"
    shift 3
    local deadline=$((SECONDS + limit))
    until "$@" >/dev/null; do
        kill -0 "$pid" 2>/dev/null || { echo "the viewer ended while waiting for $what" >&2; return 1; }
        [ "$SECONDS" -lt "$deadline" ] || { echo "no $what within $limit s" >&2; return 1; }
        sleep 0.2
    done
}

# Succeeds when exactly one window is titled $1, and writes its id to file $2.
find_window() {
    local ids
    ids="$(xdotool search --name "^$1\$" 2>/dev/null)" || return 1
    [ "$(printf '%s\n' "$ids" | wc -l)" -eq 1 ] || return 1
    printf '%s\n' "$ids" >"$2"
}

# Waits for the process to end within $2 seconds; its status goes to
# ENDED_STATUS for the caller.
# shellcheck disable=SC2034
wait_for_end() {
    local pid="$1" limit="$2"
    local deadline=$((SECONDS + limit))
    while kill -0 "$pid" 2>/dev/null; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.2
    done
    ENDED_STATUS=0
    wait "$pid" || ENDED_STATUS=$?
}

title_of_mode() {
    [ "$1" = 1 ] && echo "Ferguson Patches" || echo "Cubic Patches"
}
