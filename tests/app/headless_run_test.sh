#!/usr/bin/env bash
# The real viewer end to end, through the main command without a display, in
# both modes: the menu key from a pipe; a recorded GIF of distinct frames (the
# eye orbits) and a 600 x 600 picture of the last frame in the colours of the
# mode (Ferguson patches pure blue, cubic strips green and blue, never red);
# status 0 after Escape; nothing that the run started left running.
# scripts/run builds the tree first, so scripts/test runs this after CTest.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib/common.sh"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT

# Every process the run starts inherits the mark, so leftovers can be found.
mark="headless-run-$$-$RANDOM"
for mode in 1:ferguson:600,600,0,0,1 2:cubic:600,600,0,1,1; do
    IFS=: read -r key name picture <<<"$mode"
    if ! printf %s "$key" | env -u DISPLAY HEADLESS_RUN_MARK="$mark" "$ROOT/scripts/run" \
        --out "$out" --frames 6 --seconds 300 >"$out/log" 2>&1; then
        cat "$out/log" >&2
        die "headless run: mode $key failed"
    fi
    frames="$(convert "$out/patchview-$name.gif" -coalesce -format '%#\n' info: | sort -u | wc -l)"
    [ "$frames" -eq 6 ] || die "headless run: $name: $frames distinct frames instead of 6"
    # Width, height and whether there is any red, green and blue at all.
    seen="$(convert "$out/patchview-$name.png" \
        -format '%w,%h,%[fx:maxima.r>0],%[fx:maxima.g>0],%[fx:maxima.b>0]' info:)"
    [ "$seen" = "$picture" ] || die "headless run: $name: the last frame is $seen instead of $picture"
done
left="$(grep -lsxz "HEADLESS_RUN_MARK=$mark" /proc/[0-9]*/environ || true)"
[ -z "$left" ] || die "headless run: left running (see /proc): $left"
echo "headless run: both modes recorded 6 distinct frames in their colours, nothing left running"
