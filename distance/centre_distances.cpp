#include "distance/centre_distances.h"

#include <cmath>

#include "surface/surface_grid.h"

const CentreDistances& centreDistances(Representation r) {
    struct Kept {
        CentreDistances distances;
        bool filled = false;
        unsigned generation = 0;
    };
    static Kept kept[3];
    Kept& k = kept[static_cast<int>(r)];
    if (k.filled && k.generation == gridGeneration()) {
        return k.distances;
    }
    static const CentreCurve curve;
    std::vector<double>& centre = k.distances.centre;
    centre.clear();
    const PointSink keep = [&centre](const MeasuredPoint& m) {
        if (m.kind == PointKind::Centre) {
            centre.push_back(m.distance);
        }
    };
    const Block block = r == Representation::Cubic
                            ? measureCubic(curve, keep)
                            : measureFerguson(curve,
                                              r == Representation::Ferguson ? Derivatives::PerRadian
                                                                            : Derivatives::PerStep,
                                              keep);
    k.distances.scale =
        std::fmax(std::fabs(block.outside.distance), std::fabs(block.inside.distance));
    k.filled = true;
    k.generation = gridGeneration();
    return k.distances;
}
