#include "distance/measure.h"

#include <cmath>

#include "surface/edge_curve.h"
#include "surface/surface_grid.h"

const char* representationName(Representation r) {
    switch (r) {
        case Representation::Ferguson:
            return "ferguson";
        case Representation::FergusonPerStep:
            return "ferguson-scaled";
        case Representation::Cubic:
            return "cubic";
    }
    return "";
}

Representation fergusonRepresentation(Derivatives derivatives) {
    return derivatives == Derivatives::PerRadian ? Representation::Ferguson
                                                 : Representation::FergusonPerStep;
}

namespace {

constexpr double TwoPi = 2.0 * 3.14159265358979323846;

// A vertex as sent, in display axes (y, z, x), back in surface coordinates.
Point3 surfaceOf(const float* v) {
    return {v[2], v[0], v[1]};
}

// The mean of a drawn cell's four vertices, summed in the order they are sent.
Point3 centreOf(const float* a, const float* b, const float* c, const float* d) {
    const Point3 pa = surfaceOf(a);
    const Point3 pb = surfaceOf(b);
    const Point3 pc = surfaceOf(c);
    const Point3 pd = surfaceOf(d);
    Point3 m;
    for (int n = 0; n < 3; ++n) {
        m[n] = (pa[n] + pb[n] + pc[n] + pd[n]) / 4.0;
    }
    return m;
}

// How far a step moves along the curve and about it; negative: backwards.
double alongCurve(const Closest& from, const Closest& to) {
    return std::remainder(to.t - from.t, CurvePeriod);
}
double aroundTube(const Closest& from, const Closest& to) {
    return std::remainder(to.angle - from.angle, TwoPi);
}

void count(Steps& steps, double change) {
    ++steps.total;
    steps.backward += change < 0.0 ? 1 : 0;
}

void addSteps(Steps& total, const Steps& part) {
    total.backward += part.backward;
    total.total += part.total;
}

// Measures points one after another, keeping the statistics of the block.
class Tally {
  public:
    Tally(const CentreCurve& curve, Representation r, const PointSink& sink)
        : curve_(curve), sink_(sink) {
        block_.representation = r;
    }

    Closest add(PointKind kind, int row, int col, double u, double w, const Point3& p) {
        const Closest c = curve_.closest(p, hint_);
        hint_ = curve_.arcOf(c.t);
        const MeasuredPoint m{block_.representation,   kind, row, col, u, w, p,
                              c.distance - tubeRadius, c.t};
        if (block_.points == 0 || m.distance > block_.outside.distance) {
            block_.outside = m;
        }
        if (block_.points == 0 || m.distance < block_.inside.distance) {
            block_.inside = m;
        }
        ++block_.points;
        sumOfSquares_ += m.distance * m.distance;
        if (sink_) {
            sink_(m);
        }
        return c;
    }

    Block finish() {
        block_.rootMeanSquare =
            block_.points > 0 ? std::sqrt(sumOfSquares_ / static_cast<double>(block_.points)) : 0;
        return block_;
    }

    Block& block() { return block_; }

  private:
    Block block_;
    const CentreCurve& curve_;
    const PointSink& sink_;
    double sumOfSquares_ = 0.0;
    int hint_ = 0;
};

using CornerClosest = Closest[CornersPerSide][CornersPerSide];

PatchSteps countPatchSteps(const CornerClosest& at) {
    PatchSteps s;
    for (int a = 0; a < CornersPerSide; ++a) {
        for (int b = 0; b < CellsPerSide; ++b) {
            count(s.alongCurve, alongCurve(at[b][a], at[b + 1][a]));
            count(s.aroundTube, aroundTube(at[a][b], at[a][b + 1]));
        }
    }
    return s;
}

}  // namespace

PatchSteps backwardSteps(const CentreCurve& curve, const PatchCorners& corners) {
    CornerClosest at;
    for (int ku = 0; ku < CornersPerSide; ++ku) {
        for (int kw = 0; kw < CornersPerSide; ++kw) {
            at[ku][kw] = curve.closest(surfaceOf(corners.vertex[ku][kw]));
        }
    }
    return countPatchSteps(at);
}

Block measureFerguson(const CentreCurve& curve, Derivatives derivatives, const PointSink& sink) {
    Tally tally(curve, fergusonRepresentation(derivatives), sink);
    PatchCorners corners;
    CornerClosest at;
    for (int i = 0; i < lastRow; ++i) {
        for (int j = 0; j < lastCol; ++j) {
            evaluateCellCorners(i, j, derivatives, corners);
            for (int ku = 0; ku < CornersPerSide; ++ku) {
                for (int kw = 0; kw < CornersPerSide; ++kw) {
                    at[ku][kw] =
                        tally.add(PointKind::Vertex, i, j, tessellation.corner[ku],
                                  tessellation.corner[kw], surfaceOf(corners.vertex[ku][kw]));
                }
            }
            for (int ku = 0; ku < CellsPerSide; ++ku) {
                for (int kw = 0; kw < CellsPerSide; ++kw) {
                    const auto& v = corners.vertex;
                    tally.add(PointKind::Centre, i, j, tessellation.centre[ku],
                              tessellation.centre[kw],
                              centreOf(v[ku][kw], v[ku][kw + 1], v[ku + 1][kw + 1], v[ku + 1][kw]));
                }
            }
            const PatchSteps steps = countPatchSteps(at);
            addSteps(tally.block().alongCurve, steps.alongCurve);
            addSteps(tally.block().aroundTube, steps.aroundTube);
        }
    }
    return tally.finish();
}

Block measureCubic(const CentreCurve& curve, const PointSink& sink) {
    Tally tally(curve, Representation::Cubic, sink);
    Block& block = tally.block();
    EdgePoint edge[MaxGridCols][MaxStations];
    float vertex[MaxGridCols][MaxStations][3];
    Closest at[MaxGridCols][MaxStations];
    const int last = stations.count - 1;
    for (int i = 0; i < lastRow; ++i) {
        evaluateEdgeRow(i, edge);
        for (int k = 0; k <= lastCol; ++k) {
            for (int s = 0; s <= last; ++s) {
                stripVertex(edge[k][s], vertex[k][s]);
            }
        }
        // The first station of a row is exactly the last of the row before.
        for (int s = i == 0 ? 0 : 1; s <= last; ++s) {
            for (int k = 0; k <= lastCol; ++k) {
                at[k][s] =
                    tally.add(PointKind::Vertex, i, k, stations.t[s], 0.0, surfaceOf(vertex[k][s]));
                if (k > 0) {
                    count(block.aroundTube, aroundTube(at[k - 1][s], at[k][s]));
                }
            }
        }
        for (int k = 0; k <= lastCol; ++k) {
            for (int s = 0; s < last; ++s) {
                count(block.alongCurve, alongCurve(at[k][s], at[k][s + 1]));
            }
        }
        for (int j = 0; j < lastCol; ++j) {
            for (int s = 0; s < last; ++s) {
                // A quad strip's quad: left and right at s, then right and
                // left at s + 1, around its outline.
                tally.add(PointKind::Centre, i, j, (stations.t[s] + stations.t[s + 1]) / 2, 0.5,
                          centreOf(vertex[j][s], vertex[j + 1][s], vertex[j + 1][s + 1],
                                   vertex[j][s + 1]));
            }
        }
        for (int k = 0; k <= lastCol; ++k) {
            at[k][0] = at[k][last];
        }
    }
    return tally.finish();
}
