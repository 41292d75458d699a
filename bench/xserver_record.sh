#!/usr/bin/env bash
# The way animations were recorded before the offscreen recorder, kept to
# measure against it: the real viewer in a private X server (Xvfb, Mesa's
# software renderer), stepped in 10 ms slices with SIGSTOP and SIGCONT, its
# window photographed after each slice with ImageMagick, pictures that differ
# from the one before kept, and the kept ones turned into a GIF.
#
#   bench/xserver_record.sh VIEWER KEY FRAMES OUT_DIR
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/../scripts/lib/common.sh"
source "$here/../scripts/lib/xvfb.sh"
bin="$1" key="$2" frames="$3" out="$4"

work="$(mktemp -d)"
viewer_pid=""
trap '[ -z "$viewer_pid" ] || end_process "$viewer_pid"; stop_xvfb; rm -rf "$work"' EXIT
start_xvfb "$work"
printf %s "$key" | DISPLAY="$XVFB_DISPLAY" LIBGL_ALWAYS_SOFTWARE=1 "$bin" >/dev/null 2>&1 &
viewer_pid=$!
wait_for_window "$viewer_pid" '^(Ferguson|Cubic) Patches$' 60 || die "no viewer window"

kept=()
last=""
shots=0
while [ "${#kept[@]}" -lt "$frames" ]; do
    kill -CONT "$viewer_pid"
    sleep 0.01
    kill -STOP "$viewer_pid"
    shots=$((shots + 1))
    shot="$work/shot-$shots.miff"
    DISPLAY="$XVFB_DISPLAY" import -silent -window "$WINDOW_ID" "miff:$shot" 2>/dev/null
    if [ -n "$last" ] && cmp -s "$shot" "$last"; then
        rm -f "$shot"
    elif [ -z "$last" ] && ! picture_drawn "$shot"; then
        rm -f "$shot"
    else
        kept+=("$shot")
        last="$shot"
    fi
done
kill -CONT "$viewer_pid"
DISPLAY="$XVFB_DISPLAY" xdotool key --window "$WINDOW_ID" Escape 2>/dev/null || true
wait_for_end "$viewer_pid" 15 || die "the viewer did not end on Escape"
viewer_pid=""
convert -delay 10 -loop 0 "${kept[@]/#/miff:}" +dither -colors 32 -layers Optimize \
    "$out/xserver.gif"
convert "miff:$last" "$out/xserver.png"
