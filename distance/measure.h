#pragma once
// How far the geometry that the displays draw lies from the exact tube.

#include <functional>

#include "distance/centre_curve.h"
#include "surface/ferguson.h"
#include "surface/tessellation.h"

enum class Representation { Ferguson, FergusonPerStep, Cubic };
// The patches that take their derivatives so: Ferguson or FergusonPerStep.
Representation fergusonRepresentation(Derivatives derivatives);
// The short name used in the files: ferguson, ferguson-scaled, cubic.
const char* representationName(Representation r);

// A corner of a patch's tessellation or a station of an edge curve; the
// centre of a drawn cell or quad (the mean of its four vertices).
enum class PointKind { Vertex, Centre };

struct MeasuredPoint {
    Representation representation;
    PointKind kind;
    // The cell: grid row and column of its first corner. An edge curve's
    // station has the column of its edge curve.
    int row;
    int col;
    // Parameters in the cell: u along the curve, w around the tube (0 on
    // the cell's first column, 1 on the next; a strip is straight across).
    double u;
    double w;
    // Surface coordinates, from the floats sent to GL.
    Point3 position;
    // From the tube: distance to the centre curve minus the radius, positive
    // outside.
    double distance;
    // Parameter of the closest point of the centre curve, radians.
    double curveT;
};

// Tessellation steps that run backwards, of all steps. Along the curve: the
// closest curve parameter of the step's end is below that of its start
// (modulo the period). Around the tube: the angle about the curve decreases.
struct Steps {
    long backward = 0;
    long total = 0;
};

struct Block {
    Representation representation;
    long points = 0;
    // Largest distance outside (most positive) and inside (most negative).
    MeasuredPoint outside{};
    MeasuredPoint inside{};
    double rootMeanSquare = 0.0;
    Steps alongCurve;
    Steps aroundTube;
};

// The backward steps of one patch's tessellation, along u and along w.
struct PatchSteps {
    Steps alongCurve;
    Steps aroundTube;
};
PatchSteps backwardSteps(const CentreCurve& curve, const PatchCorners& corners);

// Receives every measured point in turn; may be empty.
using PointSink = std::function<void(const MeasuredPoint&)>;

// Measures every patch of the current grid as the Ferguson display builds it
// (PerRadian) or with derivatives scaled to the grid steps (PerStep): the
// 17 x 17 corners and the 256 cell centres of each. Patch by patch in row
// order, the corners first, then the centres with u (ku) in the outer loop:
// the n-th centre is cell (ku, kw) = (n / 16 % 16, n % 16) of patch n / 256.
Block measureFerguson(const CentreCurve& curve, Derivatives derivatives,
                      const PointSink& sink = {});

// Measures the cubic strips of the current grid: each station of every edge
// curve once (the last station of a row is the first of the next) and the
// centre of every quad. Row by row, the stations first, then the quads strip
// by strip, each strip's by station: the n-th centre is quad n % 5 of strip
// n / 5 (with six stations).
Block measureCubic(const CentreCurve& curve, const PointSink& sink = {});
