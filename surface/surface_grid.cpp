#include "surface/surface_grid.h"

#include <cmath>

#include "app/globals.h"
#include "surface/facing.h"

SurfaceSample surfacePoints[MaxGridRows][MaxGridCols];
SurfaceSample tangentU[MaxGridRows][MaxGridCols];
SurfaceSample tangentW[MaxGridRows][MaxGridCols];
SurfaceSample twists[MaxGridRows][MaxGridCols];
double curveParams[MaxGridRows];
double sectionParams[MaxGridRows];
int lastRow;
int lastCol;

namespace {
unsigned generation = 0;
}

void markGridChanged() {
    ++generation;
}
unsigned gridGeneration() {
    return generation;
}

Vector3 toDisplayAxes(const SurfaceSample& s) {
    return Vector3(s.y, s.z, s.x);
}

void solveSplineSlopes(int n, const double* knots, const double* values, double* slopes,
                       double startTerm, double endTerm) {
    double sub[MaxSplineKnots];
    double diag[MaxSplineKnots];
    double sup[MaxSplineKnots];
    double rhs[MaxSplineKnots];

    const auto h = [knots](int i) { return knots[i + 1] - knots[i]; };
    const auto delta = [values](int i) { return values[i + 1] - values[i]; };

    diag[0] = 2.0 / h(0);
    sup[0] = 1.0 / h(0);
    rhs[0] = 3.0 * delta(0) / (h(0) * h(0)) - startTerm;
    for (int i = 1; i < n; ++i) {
        sub[i] = 1.0 / h(i - 1);
        diag[i] = 2.0 / h(i - 1) + 2.0 / h(i);
        sup[i] = 1.0 / h(i);
        rhs[i] = 3.0 * delta(i) / (h(i) * h(i)) + 3.0 * delta(i - 1) / (h(i - 1) * h(i - 1));
    }
    sub[n] = 1.0 / h(n - 1);
    diag[n] = 2.0 / h(n - 1);
    rhs[n] = 3.0 * delta(n - 1) / (h(n - 1) * h(n - 1)) + endTerm;

    for (int i = 1; i <= n; ++i) {
        const double m = sub[i] / diag[i - 1];
        diag[i] = diag[i] - m * sup[i - 1];
        rhs[i] = rhs[i] - m * rhs[i - 1];
    }
    slopes[n] = rhs[n] / diag[n];
    for (int i = n - 1; i >= 0; --i) {
        slopes[i] = (rhs[i] - slopes[i + 1] * sup[i]) / diag[i];
    }
}

namespace {

using Field = double SurfaceSample::*;
constexpr Field PositionFields[] = {&SurfaceSample::x, &SurfaceSample::y, &SurfaceSample::z};

double stepToRad(int degrees) {
    return degToRad(static_cast<double>(degrees));
}

// Fills rows and columns of the tube; leaves lastRow and lastCol one past the
// last filled index.
void sampleTube() {
    lastRow = 0;
    lastCol = 0;
    for (int tDeg = 0; tDeg <= 720; tDeg += curveStepDeg) {
        const double t = stepToRad(tDeg);
        curveParams[lastRow] = t;
        const double s1 = std::sin(t);
        const double c1 = std::cos(t);
        const double s3 = std::sin(1.5 * t);
        const double c3 = std::cos(1.5 * t);

        // The curve winds twice about a ring of radius 1.5 while it wobbles
        // radially by 0.5 and along x by 1.0, closing after 720 degrees.
        const double rho = 0.5 * c3 + 1.5;
        const double cx = 1.0 * s3;
        const double cy = rho * c1;
        const double cz = rho * s1;
        const double drho = -1.5 * 0.5 * s3;
        const double dx = 1.5 * 1.0 * c3;
        const double dy = drho * c1 - rho * s1;
        const double dz = drho * s1 + rho * c1;

        // N = C x D and B = N x D; C and D are never parallel on this curve.
        double nx = cy * dz - cz * dy;
        double ny = cz * dx - cx * dz;
        double nz = cx * dy - cy * dx;
        double f = 1.0 / std::sqrt(nx * nx + ny * ny + nz * nz);
        nx *= f;
        ny *= f;
        nz *= f;
        double bx = ny * dz - nz * dy;
        double by = nz * dx - nx * dz;
        double bz = nx * dy - ny * dx;
        f = 1.0 / std::sqrt(bx * bx + by * by + bz * bz);
        bx *= f;
        by *= f;
        bz *= f;

        lastCol = 0;
        for (int pDeg = 0; pDeg <= 360; pDeg += sectionStepDeg) {
            const double phi = stepToRad(pDeg);
            sectionParams[lastCol] = phi;
            const double a = std::cos(phi) * tubeRadius;
            const double b = std::sin(phi) * tubeRadius;
            SurfaceSample& p = surfacePoints[lastRow][lastCol];
            p.x = a * nx + cx + b * bx;
            p.y = a * ny + cy + b * by;
            p.z = a * nz + cz + b * bz;
            ++lastCol;
        }
        ++lastRow;
    }
    --lastRow;
    --lastCol;
}

void positionTangentsAlongCurve() {
    double values[MaxGridRows] = {};
    double slopes[MaxGridRows] = {};
    for (int j = 0; j <= lastCol; ++j) {
        for (const Field field : PositionFields) {
            for (int i = 0; i <= lastRow; ++i) {
                values[i] = surfacePoints[i][j].*field;
            }
            solveSplineSlopes(lastRow, curveParams, values, slopes, 0.0, 0.0);
            for (int i = 0; i <= lastRow; ++i) {
                tangentU[i][j].*field = slopes[i];
            }
        }
        // The natural spline gets the closed curve's end slopes wrong; the
        // seam takes the first row's slope.
        for (const Field field : PositionFields) {
            tangentU[lastRow][j].*field = tangentU[0][j].*field;
        }
    }
}

// Slopes around the tube of one field of source, row by row, into target.
void slopesAroundTube(const SurfaceSample (*source)[MaxGridCols],
                      SurfaceSample (*target)[MaxGridCols], Field field) {
    double values[MaxGridCols] = {};
    double slopes[MaxGridCols] = {};
    for (int i = 0; i <= lastRow; ++i) {
        for (int j = 0; j <= lastCol; ++j) {
            values[j] = source[i][j].*field;
        }
        solveSplineSlopes(lastCol, sectionParams, values, slopes, 0.0, 0.0);
        for (int j = 0; j <= lastCol; ++j) {
            target[i][j].*field = slopes[j];
        }
    }
}

void positionTangentsAroundTube() {
    for (const Field field : PositionFields) {
        slopesAroundTube(surfacePoints, tangentW, field);
    }
    for (int i = 0; i <= lastRow; ++i) {
        for (const Field field : PositionFields) {
            tangentW[i][lastCol].*field = tangentW[i][0].*field;
        }
    }
}

void positionTwists() {
    for (const Field field : PositionFields) {
        slopesAroundTube(tangentU, twists, field);
    }
}

}  // namespace

void sampleSurface() {
    sampleTube();
    positionTangentsAlongCurve();
    positionTangentsAroundTube();
    positionTwists();
    // The facing channel, its derivatives and its twist, for the current eye.
    recomputeFacing();
    markGridChanged();
}
