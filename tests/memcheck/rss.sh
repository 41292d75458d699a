#!/usr/bin/env bash
# Resident memory of the real viewer over a long run, without valgrind: the
# viewer draws FRAMES frames in Ferguson mode (the one that also refreshes the
# facing data every step) after a warm-up, counted by the preloaded swap
# counter, while VmRSS is sampled from /proc. Fails when the last sample lies
# more than LIMIT_KIB above the first sample after the warm-up. Prints the
# figures.
#
#   tests/memcheck/rss.sh PATCHVIEW SWAP_COUNTER_SO [FRAMES]
#
# The window is shrunk to 64 x 64 so that software rendering reaches a few
# thousand frames in about a minute.
set -euo pipefail
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
die() { echo "rss: $*" >&2; exit 1; }
source "$HERE/common.sh"

[ $# -ge 2 ] || die "usage: rss.sh PATCHVIEW SWAP_COUNTER_SO [FRAMES]"
BIN="$1"
COUNTER="$2"
FRAMES="${3:-2000}"
WARMUP=300
LIMIT_KIB=3072
TITLE="Ferguson Patches"
[ -x "$BIN" ] || die "no viewer at $BIN"
[ -f "${COUNTER%%:*}" ] || die "no swap counter at ${COUNTER%%:*}"

WORK="$(mktemp -d)"
pid=""
cleanup() {
    if [ -n "$pid" ]; then
        kill "$pid" 2>/dev/null || true
    fi
    stop_xvfb
    rm -rf "$WORK"
}
trap cleanup EXIT
start_xvfb

printf 1 | LIBGL_ALWAYS_SOFTWARE=1 LD_PRELOAD="$COUNTER" PATCHVIEW_FPS_OUT="$WORK/frames" \
    PATCHVIEW_FPS_WARMUP="$WARMUP" PATCHVIEW_FPS_FRAMES="$FRAMES" \
    "$BIN" >/dev/null 2>"$WORK/err" &
pid=$!
wait_until "$pid" 60 "window \"$TITLE\"" find_window "$TITLE" "$WORK/window" ||
    { cat "$WORK/err" >&2; exit 1; }
wid="$(cat "$WORK/window")"
xdotool windowsize "$wid" 64 64 2>/dev/null || true

# Wall-clock seconds and VmRSS in KiB, every half second.
deadline=$((SECONDS + 60 + (WARMUP + FRAMES) / 5))
until [ -s "$WORK/frames" ]; do
    kill -0 "$pid" 2>/dev/null || { cat "$WORK/err" >&2; die "the viewer ended early"; }
    [ "$SECONDS" -lt "$deadline" ] || die "$FRAMES frames not drawn in time"
    rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status" 2>/dev/null || true)
    [ -n "$rss" ] && echo "$EPOCHREALTIME $rss" >>"$WORK/samples"
    sleep 0.5
done
finished=$EPOCHREALTIME

xdotool key --window "$wid" Escape 2>/dev/null || true
wait_for_end "$pid" 30 || die "Escape did not end the viewer"
pid=""
[ "$ENDED_STATUS" -eq 0 ] || die "the viewer ended with status $ENDED_STATUS after Escape"

fps=$(sed -n 's/^fps //p' "$WORK/frames")
# The counted frames began FRAMES / fps seconds before they were done.
read -r base last peak count < <(awk -v finished="$finished" -v frames="$FRAMES" -v fps="$fps" '
    $1 < finished - frames / fps { next }
    base == "" { base = $2 }
    { last = $2; if ($2 > peak) peak = $2; n++ }
    END { print base, last, peak, n }' "$WORK/samples")
if [ -z "$base" ] || [ "$count" -lt 10 ]; then
    die "too few samples (${count:-0}) after the warm-up"
fi
mib() { awk -v k="$1" 'BEGIN { printf "%.1f MiB", k / 1024 }'; }
echo "rss, $TITLE, $FRAMES frames at $fps fps after $WARMUP warm-up frames," \
    "$count samples: after warm-up $(mib "$base"), at the end $(mib "$last")," \
    "peak $(mib "$peak"), growth $((last - base)) KiB"
[ $((last - base)) -le "$LIMIT_KIB" ] ||
    die "resident memory grew by $((last - base)) KiB over $FRAMES frames (limit $LIMIT_KIB KiB)"
