#!/usr/bin/env bash
# The real viewer's memory in a private X server. First under valgrind
# memcheck, in each mode: a few dozen frames, then Escape, so that the leak
# check runs at a normal exit; any error, and any definite or indirect leak
# that viewer.supp does not explain, fails. Then without valgrind over a long
# run in Ferguson mode: resident memory may not grow by more than 3 MiB after
# the warm-up. Frames are counted by the preloaded swap counter; the window is
# shrunk to 64 x 64, which leaves the viewer's own work per frame as it is and
# spares Mesa's software rasteriser.
#
#   tests/memcheck/viewer_memory.sh PATCHVIEW SWAP_COUNTER_SO [FRAMES]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/../../scripts/lib/common.sh"
source "$here/../../scripts/lib/xvfb.sh"
bin="$1" counter="$2" frames="${3:-2000}"
work="$(mktemp -d)"
pid=""
trap '[ -z "$pid" ] || end_process "$pid"; stop_xvfb; rm -rf "$work"' EXIT
start_xvfb "$work"
export DISPLAY="$XVFB_DISPLAY" LIBGL_ALWAYS_SOFTWARE=1 LP_NUM_THREADS=0

# Runs the viewer in mode KEY (1 or 2) until it has counted COUNT frames after
# WARMUP, with the command prefix that follows (valgrind passes the preload
# on), and ends it by Escape.
run() {
    local key="$1" warmup="$2" count="$3" title=("" Ferguson Cubic)
    shift 3
    rm -f "$work/frames"
    printf %s "$key" | LD_PRELOAD="$counter" PATCHVIEW_FPS_OUT="$work/frames" \
        PATCHVIEW_FPS_WARMUP="$warmup" PATCHVIEW_FPS_FRAMES="$count" "$@" "$bin" >/dev/null &
    pid=$!
    wait_for_window "$pid" "^${title[key]} Patches\$" 600 || die "no window in mode $key"
    xdotool windowsize "$WINDOW_ID" 64 64
    until [ -s "$work/frames" ]; do
        kill -0 "$pid" 2>/dev/null || die "the viewer in mode $key ended early"
        sleep 0.5
    done
    xdotool key --window "$WINDOW_ID" Escape 2>/dev/null || true  # may fail as the window goes
    wait_for_end "$pid" 120 || die "Escape did not end the viewer"
    pid=""
    [ "$ENDED_STATUS" -eq 0 ] || { cat "$work/log" >&2; die "mode $key ended with status $ENDED_STATUS"; }
}

for key in 1 2; do
    run "$key" 4 20 valgrind --leak-check=full --show-leak-kinds=definite,indirect \
        --errors-for-leak-kinds=definite,indirect --keep-debuginfo=yes --num-callers=40 \
        --suppressions="$here/viewer.supp" --error-exitcode=99 --log-file="$work/log"
    echo "memcheck, mode $key, 24 frames, ended by Escape:"
    grep -E 'ERROR SUMMARY|definitely lost:|indirectly lost:' "$work/log" | sed 's/^==[0-9]*== */    /'
done
run 1 300 "$frames"
read -r base end < <(awk '/^rss_after_warmup_kib/ { b = $2 } /^rss_end_kib/ { e = $2 }
    END { print b, e }' "$work/frames")
echo "resident memory, mode 1: $base KiB after 300 frames, $end KiB after $frames more"
[ $((end - base)) -le 3072 ] || die "resident memory grew by $((end - base)) KiB"
