#include "display/distance_colours.h"

#include <cmath>
#include <vector>

#include "distance/centre_distances.h"
#include "surface/surface_grid.h"
#include "surface/tessellation.h"

Rgb distanceColour(double t) {
    if (std::isnan(t)) {
        t = 0.0;
    }
    t = t < -1.0 ? -1.0 : (t > 1.0 ? 1.0 : t);
    // Stop k sits at p = k on [0, 4]; the last segment takes t = 1 itself.
    const double p = (t + 1.0) * 2.0;
    const int k = p < 3.0 ? static_cast<int>(p) : 3;
    const double f = p - k;
    const auto channel = [k, f](int c) {
        const double from = DistanceStops[k][c];
        const double to = DistanceStops[k + 1][c];
        return (from + (to - from) * f) / 255.0;
    };
    return {channel(0), channel(1), channel(2)};
}

const float* cellColours(Representation r) {
    struct Kept {
        std::vector<float> colour;
        bool filled = false;
        unsigned generation = 0;
    };
    static Kept kept[3];
    Kept& k = kept[static_cast<int>(r)];
    if (k.filled && k.generation == gridGeneration()) {
        return k.colour.data();
    }
    const CentreDistances& d = centreDistances(r);
    const double scale = d.scale;
    k.colour.resize(d.centre.size() * 3);
    const auto put = [&](std::size_t at, double distance) {
        // A grid on the tube everywhere has no scale: all grey.
        const Rgb c = distanceColour(scale > 0.0 ? distance / scale : 0.0);
        k.colour[3 * at] = static_cast<float>(c.r);
        k.colour[3 * at + 1] = static_cast<float>(c.g);
        k.colour[3 * at + 2] = static_cast<float>(c.b);
    };
    if (r == Representation::Cubic) {
        for (std::size_t n = 0; n < d.centre.size(); ++n) {
            put(n, d.centre[n]);
        }
    } else {
        // From (ku, kw) order to the order the subdivision draws the cells.
        for (std::size_t patch = 0; patch < d.centre.size() / CellsPerPatch; ++patch) {
            const double* centre = &d.centre[patch * CellsPerPatch];
            for (int n = 0; n < CellsPerPatch; ++n) {
                put(patch * CellsPerPatch + n,
                    centre[tessellation.leafU[n] * CellsPerSide + tessellation.leafW[n]]);
            }
        }
    }
    k.filled = true;
    k.generation = gridGeneration();
    return k.colour.data();
}
