#!/usr/bin/env bash
# The real viewer under valgrind memcheck in a private X server, once per
# mode (both at once): a few dozen frames, counted by the preloaded swap
# counter, then Escape in the window, so that the leak check runs at a normal
# exit. Fails on any memcheck error and on any definite or indirect leak that
# viewer.supp does not explain; prints valgrind's summary lines.
#
#   tests/memcheck/memcheck.sh PATCHVIEW SWAP_COUNTER_SO
#
# The window is shrunk to 64 x 64 once it is up: under valgrind every pixel
# of Mesa's software rasteriser is instrumented, while the viewer's own work
# per frame does not depend on the window size.
set -euo pipefail
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
die() { echo "memcheck: $*" >&2; exit 1; }
source "$HERE/common.sh"

[ $# -eq 2 ] || die "usage: memcheck.sh PATCHVIEW SWAP_COUNTER_SO"
BIN="$1"
COUNTER="$2"
WARMUP=4
FRAMES=20
LIMIT=420  # seconds per mode; a Ferguson frame takes a few seconds here
[ -x "$BIN" ] || die "no viewer at $BIN"
[ -f "${COUNTER%%:*}" ] || die "no swap counter at ${COUNTER%%:*}"

WORK="$(mktemp -d)"
trap 'stop_xvfb; rm -rf "$WORK"' EXIT
start_xvfb

# Runs one mode; leaves its verdict in $WORK/MODE.verdict: "ok" or why not.
run_mode() {
    local mode="$1" title pid wid
    title="$(title_of_mode "$mode")"
    verdict() { echo "$*" >"$WORK/$mode.verdict"; }
    # The preload is given to valgrind's environment: valgrind passes
    # LD_PRELOAD on to the program, after its own preloads.
    printf '%s' "$mode" | LIBGL_ALWAYS_SOFTWARE=1 LP_NUM_THREADS=0 \
        LD_PRELOAD="$COUNTER" PATCHVIEW_FPS_OUT="$WORK/$mode.frames" \
        PATCHVIEW_FPS_WARMUP="$WARMUP" PATCHVIEW_FPS_FRAMES="$FRAMES" \
        valgrind --tool=memcheck --leak-check=full --show-leak-kinds=definite,indirect \
        --errors-for-leak-kinds=definite,indirect --keep-debuginfo=yes --num-callers=40 \
        --suppressions="$HERE/viewer.supp" --error-exitcode=99 --log-file="$WORK/$mode.log" \
        "$BIN" >"$WORK/$mode.out" 2>"$WORK/$mode.err" &
    pid=$!
    local why
    if ! why="$(wait_until "$pid" "$LIMIT" "window \"$title\"" \
        find_window "$title" "$WORK/$mode.window" 2>&1)"; then
        kill "$pid" 2>/dev/null || true
        verdict "$why"
        return
    fi
    wid="$(cat "$WORK/$mode.window")"
    xdotool windowsize "$wid" 64 64 2>/dev/null || true
    if ! why="$(wait_until "$pid" "$LIMIT" "frame count of the preloaded swap counter" \
        test -s "$WORK/$mode.frames" 2>&1)"; then
        kill "$pid" 2>/dev/null || true
        verdict "$why"
        return
    fi
    xdotool key --window "$wid" Escape 2>/dev/null || true
    if ! wait_for_end "$pid" 120; then
        kill "$pid" 2>/dev/null || true
        verdict "Escape did not end the viewer"
    elif [ "$ENDED_STATUS" -eq 99 ]; then
        verdict "memcheck reported errors"
    elif [ "$ENDED_STATUS" -ne 0 ]; then
        verdict "ended with status $ENDED_STATUS after Escape"
    else
        verdict ok
    fi
}

run_mode 1 &
first=$!
run_mode 2 &
second=$!
wait "$first" || true
wait "$second" || true

failed=0
for mode in 1 2; do
    log="$WORK/$mode.log"
    verdict="$(cat "$WORK/$mode.verdict" 2>/dev/null || echo "no verdict")"
    # The counts must be zero whatever the exit status says.
    if [ "$verdict" = ok ] && { grep -qE 'Invalid (read|write)' "$log" ||
        ! grep -qE 'ERROR SUMMARY: 0 errors' "$log" ||
        ! grep -qE 'definitely lost: 0 bytes' "$log" ||
        ! grep -qE 'indirectly lost: 0 bytes' "$log"; }; then
        verdict="memcheck reported errors or leaks"
    fi
    if [ "$verdict" != ok ]; then
        failed=1
        {
            echo "memcheck, $(title_of_mode "$mode"): $verdict"
            echo "--- viewer's error output"
            cat "$WORK/$mode.err" 2>/dev/null
            echo "--- valgrind log"
            cat "$log" 2>/dev/null
        } >&2
        continue
    fi
    frames=$((WARMUP + $(sed -n 's/^frames //p' "$WORK/$mode.frames")))
    echo "memcheck, $(title_of_mode "$mode"), $frames frames, ended by Escape:"
    grep -E 'ERROR SUMMARY|definitely lost:|indirectly lost:|possibly lost:|suppressed:' "$log" |
        sed 's/^==[0-9]*== */    /'
done
exit "$failed"
