#!/usr/bin/env bash
# The main command without a display, in both modes: the menu key from a
# pipe; the recorder's GIF of distinct frames (the eye orbits) whose colours
# stay within a few percent of the lossless last frame, a 600 x 600 last
# frame in the colours of the mode (Ferguson patches pure blue, cubic strips
# green and blue, never red), status 0 and no other file.
# scripts/run builds the tree first, so scripts/test runs this after CTest.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib/common.sh"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT

for mode in 1:ferguson:600,600,0,0,1 2:cubic:600,600,0,1,1; do
    IFS=: read -r key name picture <<<"$mode"
    rm -rf "${out:?}"/*
    if ! printf %s "$key" | env -u DISPLAY "$ROOT/scripts/run" --out "$out" --frames 6 \
        >"$out/log" 2>&1; then
        cat "$out/log" >&2
        die "headless run: mode $key failed"
    fi
    rm "$out/log"
    gif="$out/patchview-$name.gif" png="$out/patchview-$name.png"
    [ "$(ls "$out" | tr '\n' ' ')" = "patchview-$name.gif patchview-$name.png " ] ||
        die "headless run: $name: the folder holds $(ls "$out")"
    frames="$(convert "$gif" -coalesce -format '%#\n' info: | sort -u | wc -l)"
    [ "$frames" -eq 6 ] || die "headless run: $name: $frames distinct frames instead of 6"
    # Width, height and whether there is any red, green and blue at all.
    seen="$(convert "$png" -format '%w,%h,%[fx:maxima.r>0],%[fx:maxima.g>0],%[fx:maxima.b>0]' info:)"
    [ "$seen" = "$picture" ] || die "headless run: $name: the last frame is $seen instead of $picture"
    # Mean and worst error of the GIF's last frame, in parts of full scale.
    mean="$(convert "$gif" -coalesce -delete 0--2 "$png" -metric MAE -format '%[distortion]' -compare info:)"
    worst="$(convert "$gif" -coalesce -delete 0--2 "$png" -metric PAE -format '%[distortion]' -compare info:)"
    awk -v m="$mean" -v w="$worst" 'BEGIN { exit !(m <= 0.002 && w <= 0.051) }' ||
        die "headless run: $name: the GIF is too far from the frame (mean $mean, worst $worst)"
done
echo "headless run: both modes recorded 6 distinct frames in their colours, the GIFs close to them"
