#pragma once
// How far the centre of each drawn cell or quad lies from the exact tube, as
// the measuring program measures it, and the largest distance of the whole
// representation: what the distance colouring shows. Measured once per
// sampling; the surface does not move.

#include <vector>

#include "distance/measure.h"

struct CentreDistances {
    // The signed distance of each centre, positive outside, in the grid's
    // units: in the order the measurement reports them (measure.h), which is
    // patch (i, j) at (i * lastCol + j) * CellsPerPatch, its cell (ku, kw)
    // at ku * CellsPerSide + kw; or strip (i, j) at (i * lastCol + j) *
    // (stations.count - 1), its quad s (stations s to s + 1) at s.
    std::vector<double> centre;
    // The largest |distance| among all the points that the measuring
    // program measures for the representation, vertices and centres: the
    // figure it reports as the largest outside or inside.
    double scale = 0.0;
};

// The distances of representation r on the current grid (Ferguson or
// FergusonPerStep on a grid sampled for the patches, Cubic on one sampled for
// the strips). The first call after each sampling (gridGeneration) measures
// them; later calls return what was kept.
const CentreDistances& centreDistances(Representation r);
