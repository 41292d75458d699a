#!/usr/bin/env bash
# Draws docs/distance.png: how far the drawn geometry lies from the tube,
# along the centre curve, for the three variants that patchview-measure
# reports, and the cubic strips once more, enlarged. It runs the built
# program with --points, keeps per 2-degree bin of the closest curve point
# the smallest and largest distance of each variant, and plots the bands
# with gnuplot (Debian's gnuplot-nox, installed when missing).
#
#   docs/distance-plot.sh [BUILD_DIR] [OUTPUT.png]
#   (defaults: build/ and docs/distance.png of this repository, which it
#   overwrites)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build}"
output="${2:-$root/docs/distance.png}"
measure="$build/measure/patchview-measure"

die() {
    echo "distance-plot: $*" >&2
    exit 1
}
[ -x "$measure" ] || die "no $measure: build first (cmake -S . -B build -DPATCHVIEW_BUILD_TESTS=OFF && cmake --build build)"
if ! command -v gnuplot >/dev/null; then
    [ "$(id -u)" -eq 0 ] || die "gnuplot is missing: install gnuplot-nox (apt-get), or run as root"
    { apt-get update -qq && DEBIAN_FRONTEND=noninteractive \
        apt-get install -y -qq --no-install-recommends gnuplot-nox; } >/dev/null ||
        die "apt-get could not install gnuplot-nox"
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$measure" --points "$work/points.csv" >"$work/report.txt"

# Columns: representation, kind, row, col, u, w, x, y, z, distance,
# curve_t_deg. Distances become percent of the radius, 0.2.
awk -F, -v dir="$work" 'NR > 1 {
    bin = int($11 / 2); if (bin > 359) bin = 359
    key = $1 SUBSEP bin; d = $10 / 0.2 * 100
    if (!(key in lo) || d < lo[key]) lo[key] = d
    if (!(key in hi) || d > hi[key]) hi[key] = d
}
END {
    n = split("ferguson ferguson-scaled cubic", names, " ")
    for (r = 1; r <= n; ++r)
        for (bin = 0; bin < 360; ++bin) {
            key = names[r] SUBSEP bin
            if (key in lo) print 2 * bin + 1, lo[key], hi[key] > (dir "/" names[r] ".dat")
        }
}' "$work/points.csv"

gnuplot <<EOF
set terminal pngcairo size 960,720 font "sans,10"
set output "$output.tmp"
set multiplot
set xrange [0:720]
set xtics 0, 90, 720
set grid
set style fill transparent solid 0.45 noborder
set key top center horizontal

set origin 0, 0.34
set size 1, 0.66
set title "Distance of the drawn geometry from the tube along its centre curve: smallest and largest per 2 degrees"
set ylabel "distance from the tube, % of its radius"
set yrange [-25:25]
plot "$work/ferguson.dat" using 1:2:3 with filledcurves lc rgb "#3b6fc4" \
         title "Ferguson patches as drawn (derivatives per radian)", \
     "$work/ferguson-scaled.dat" using 1:2:3 with filledcurves lc rgb "#e08a1e" \
         title "Ferguson patches, derivatives scaled (not drawn)", \
     "$work/cubic.dat" using 1:2:3 with filledcurves lc rgb "#1c9c4a" \
         title "cubic strips as drawn"

set origin 0, 0
set size 1, 0.34
set title "The cubic strips enlarged"
set xlabel "closest point of the centre curve: curve parameter t in degrees (the curve closes at 720)"
set ylabel "% of the radius"
set yrange [-1:1]
set ytics 0.5
plot "$work/cubic.dat" using 1:2:3 with filledcurves lc rgb "#1c9c4a" notitle
unset multiplot
EOF
mv "$output.tmp" "$output"
echo "distance-plot: wrote $output"
