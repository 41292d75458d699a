#include "surface/edge_curve.h"

#include "surface/surface_grid.h"

EdgePoint edgeCurvePoint(int i, int k, double t) {
    const double h00 = 2.0 * t * t * t - 3.0 * t * t + 1.0;
    const double h01 = -2.0 * t * t * t + 3.0 * t * t;
    const double h10 = t * t * t - 2.0 * t * t + t;
    const double h11 = t * t * t - t * t;
    const double du = curveParams[i + 1] - curveParams[i];
    const SurfaceSample& p0 = surfacePoints[i][k];
    const SurfaceSample& p1 = surfacePoints[i + 1][k];
    const SurfaceSample& d0 = tangentU[i][k];
    const SurfaceSample& d1 = tangentU[i + 1][k];
    return EdgePoint{h00 * p0.x + h01 * p1.x + h10 * du * d0.x + h11 * du * d1.x,
                     h00 * p0.y + h01 * p1.y + h10 * du * d0.y + h11 * du * d1.y,
                     h00 * p0.z + h01 * p1.z + h10 * du * d0.z + h11 * du * d1.z};
}

void evaluateEdgeRow(int i, EdgePoint (*edge)[MaxStations]) {
    for (int k = 0; k <= lastCol; ++k) {
        for (int s = 0; s < stations.count; ++s) {
            edge[k][s] = edgeCurvePoint(i, k, stations.t[s]);
        }
    }
}

void stripVertex(const EdgePoint& p, float* out) {
    out[0] = static_cast<float>(p.y);
    out[1] = static_cast<float>(p.z);
    out[2] = static_cast<float>(p.x);
}
