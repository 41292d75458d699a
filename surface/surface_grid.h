#pragma once
// The sampled surface: a tube of radius 0.2 swept along a closed knotted
// curve, its spline derivatives along both grid directions, twists and the
// view-dependent facing value. All storage is static; entries beyond lastRow
// and lastCol stay zero.

#include "geometry/vector3.h"

// One grid entry: a point or a derivative, plus the facing channel.
struct SurfaceSample {
    double x;
    double y;
    double z;
    double facing;
};

constexpr int MaxGridRows = 400;
constexpr int MaxGridCols = 100;
// Capacity of one solver call in knots.
constexpr int MaxSplineKnots = 5000;
constexpr double tubeRadius = 0.2;

// Row i follows the sweep curve (parameter t), column j goes around the tube
// (parameter phi). Derivatives are per radian.
extern SurfaceSample surfacePoints[MaxGridRows][MaxGridCols];
extern SurfaceSample tangentU[MaxGridRows][MaxGridCols];
extern SurfaceSample tangentW[MaxGridRows][MaxGridCols];
extern SurfaceSample twists[MaxGridRows][MaxGridCols];
extern double curveParams[MaxGridRows];
extern double sectionParams[MaxGridRows];
extern int lastRow;
extern int lastCol;

// Fills every grid from curveStepDeg, sectionStepDeg and eyePos. The steps
// must be positive with curveStepDeg >= 2 and sectionStepDeg >= 4 so that the
// grid fits its capacity.
void sampleSurface();

// Positions and their derivatives change only through sampleSurface, or
// through code that writes the grids and then calls markGridChanged. Caches of
// values derived from positions refill when the generation moves on.
void markGridChanged();
unsigned gridGeneration();

// Slopes k_0..k_n of the C2 cubic spline through (knots[i], values[i]), with
// half the second derivative at the ends prescribed by startTerm and
// endTerm (zero: the natural spline). Needs 1 <= n < MaxSplineKnots and
// strictly increasing knots; checks nothing. The inputs are read in full
// before any slope is written, so slopes may be the values array.
void solveSplineSlopes(int n, const double* knots, const double* values, double* slopes,
                       double startTerm, double endTerm);

// A surface point (x, y, z) is drawn and compared with the eye as (y, z, x).
Vector3 toDisplayAxes(const SurfaceSample& s);
