#!/usr/bin/env bash
# End to end, the main command without a display: the menu key from a pipe,
# a recorded GIF of distinct frames and a PNG, status 0, and nothing that it
# started left running. scripts/run (re)builds the tree, so CTest does not
# run this; CI calls it after scripts/test.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
fail() {
    echo "headless run: $*" >&2
    exit 1
}

# Every process the run starts inherits the mark, so leftovers can be found.
mark="headless-run-$$-$RANDOM"
printf 1 | env -u DISPLAY HEADLESS_RUN_MARK="$mark" "$root/scripts/run" --out "$out" \
    --frames 6 --seconds 300 >"$out/log" 2>&1 || { cat "$out/log" >&2; fail "scripts/run failed"; }

[ -s "$out/patchview-ferguson.png" ] || fail "no patchview-ferguson.png"
signatures="$(convert "$out/patchview-ferguson.gif" -coalesce -format '%#\n' info:)" ||
    fail "no readable patchview-ferguson.gif"
[ "$(sort -u <<<"$signatures" | wc -l)" -eq 6 ] || fail "the GIF does not hold 6 distinct frames:
$signatures"
left="$(grep -lsxz "HEADLESS_RUN_MARK=$mark" /proc/[0-9]*/environ || true)"
[ -z "$left" ] || fail "left running (see /proc): $left"
echo "headless run: 6 distinct frames recorded, a PNG saved, status 0, nothing left running"
