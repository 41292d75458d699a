#include "surface/facing.h"

#include "app/globals.h"
#include "surface/surface_grid.h"

namespace {

double facingAt(int i, int j, const Vector3& eye) {
    const Vector3 tu = toDisplayAxes(tangentU[i][j]);
    const Vector3 tw = toDisplayAxes(tangentW[i][j]);
    const Vector3 p = toDisplayAxes(surfacePoints[i][j]);
    const Vector3 n = unit(tu.cross(tw));
    const Vector3 v = unit(eye - p);
    return n.dot(v);
}

}  // namespace

void recomputeFacing() {
    const Vector3 eye(eyePos.x, eyePos.y, eyePos.z);
    for (int i = 0; i <= lastRow; ++i) {
        for (int j = 0; j <= lastCol; ++j) {
            surfacePoints[i][j].facing = facingAt(i, j, eye);
        }
    }

    double values[MaxGridRows] = {};
    double slopes[MaxGridRows] = {};
    for (int j = 0; j <= lastCol; ++j) {
        for (int i = 0; i <= lastRow; ++i) {
            values[i] = surfacePoints[i][j].facing;
        }
        solveSplineSlopes(lastRow, curveParams, values, slopes, 0.0, 0.0);
        for (int i = 0; i <= lastRow; ++i) {
            tangentU[i][j].facing = slopes[i];
        }
    }

    // Around the tube: the facing slope from the values, the twist from the
    // slopes along the curve just computed. No seam copy for facing.
    for (int i = 0; i <= lastRow; ++i) {
        for (int j = 0; j <= lastCol; ++j) {
            values[j] = surfacePoints[i][j].facing;
        }
        solveSplineSlopes(lastCol, sectionParams, values, slopes, 0.0, 0.0);
        for (int j = 0; j <= lastCol; ++j) {
            tangentW[i][j].facing = slopes[j];
        }
    }
    for (int i = 0; i <= lastRow; ++i) {
        for (int j = 0; j <= lastCol; ++j) {
            values[j] = tangentU[i][j].facing;
        }
        solveSplineSlopes(lastCol, sectionParams, values, slopes, 0.0, 0.0);
        for (int j = 0; j <= lastCol; ++j) {
            twists[i][j].facing = slopes[j];
        }
    }
}
