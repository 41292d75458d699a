#include "distance/centre_curve.h"

#include <algorithm>
#include <cmath>

namespace {

// Arcs of the tabulated polyline; 4 pi / 4096 is about 0.18 degrees.
constexpr int Arcs = 4096;
constexpr double ArcStep = CurvePeriod / Arcs;

// With c = cos 1.5t: |C''|^2 = -4.671875 c^2 + 4.875 c + 9.5625 <= 10.834 and
// |C'|^2 = 1.9375 c^2 + 1.5 c + 2.8125 >= 2.5222, for every t.
constexpr double MaxSecondDerivative = 3.3;
constexpr double MinSpeedSquared = 2.52;
// An arc strays from its chord by at most h^2 / 8 * max |C''|.
constexpr double Sag = ArcStep * ArcStep / 8.0 * MaxSecondDerivative;
// Within this distance of every point of an arc, |p - C(t)|^2 is strictly
// convex on the arc: its second derivative is at least
// 2 (|C'|^2 - |p - C| |C''|) > 0. Then it has at most one minimum there.
constexpr double ConvexReach = MinSpeedSquared / MaxSecondDerivative;
// A farther point, for which an arc may hold more than one minimum, is
// searched on this many pieces of each arc.
constexpr int FarPieces = 32;
constexpr int MaxCandidates = 32;

double dot(const Point3& a, const Point3& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
Point3 minus(const Point3& a, const Point3& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
Point3 cross(const Point3& a, const Point3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
Point3 unit(const Point3& a) {
    const double f = 1.0 / std::sqrt(dot(a, a));
    return {a[0] * f, a[1] * f, a[2] * f};
}

double arcStart(int k) {
    return k * ArcStep;
}

// Safeguarded Newton on g(t) = (C(t) - p) . C'(t) in [lo, hi], where g(lo) < 0
// < g(hi): the minimum of |p - C|^2 between them. Returns t and |p - C(t)|^2.
std::pair<double, double> minimumBetween(const Point3& p, double lo, double hi, double t) {
    double squared = 0.0;
    for (int iteration = 0; iteration < 100; ++iteration) {
        const CurveJet j = curveAt(t);
        const Point3 r = minus(j.c, p);
        squared = dot(r, r);
        const double g = dot(r, j.d1);
        const double slope = dot(j.d1, j.d1) + dot(r, j.d2);
        const double step = g / slope;
        // A parameter off by 1e-12 changes the distance by about 1e-24.
        if (slope > 0.0 && std::fabs(step) < 1e-12) {
            break;
        }
        (g < 0.0 ? lo : hi) = t;
        double next = t - step;
        if (!(slope > 0.0) || !(next > lo && next < hi)) {
            next = 0.5 * (lo + hi);
        }
        if (hi - lo < 1e-12) {
            break;
        }
        t = next;
    }
    return {t, squared};
}

}  // namespace

CurveJet curveAt(double t) {
    const double s1 = std::sin(t);
    const double c1 = std::cos(t);
    const double s3 = std::sin(1.5 * t);
    const double c3 = std::cos(1.5 * t);
    const double rho = 0.5 * c3 + 1.5;
    const double drho = -0.75 * s3;
    const double ddrho = -1.125 * c3;
    return CurveJet{{s3, rho * c1, rho * s1},
                    {1.5 * c3, drho * c1 - rho * s1, drho * s1 + rho * c1},
                    {-2.25 * s3, ddrho * c1 - 2.0 * drho * s1 - rho * c1,
                     ddrho * s1 + 2.0 * drho * c1 - rho * s1}};
}

CentreCurve::CentreCurve() : vertex_(Arcs + 1), tangent_(Arcs + 1), box_(2 * Arcs) {
    for (int k = 0; k <= Arcs; ++k) {
        const CurveJet j = curveAt(arcStart(k));
        vertex_[k] = j.c;
        tangent_[k] = j.d1;
    }
    for (int k = 0; k < Arcs; ++k) {
        Box& b = box_[Arcs + k];
        for (int a = 0; a < 3; ++a) {
            b.lo[a] = std::min(vertex_[k][a], vertex_[k + 1][a]) - Sag;
            b.hi[a] = std::max(vertex_[k][a], vertex_[k + 1][a]) + Sag;
        }
    }
    for (int n = Arcs - 1; n >= 1; --n) {
        for (int a = 0; a < 3; ++a) {
            box_[n].lo[a] = std::min(box_[2 * n].lo[a], box_[2 * n + 1].lo[a]);
            box_[n].hi[a] = std::max(box_[2 * n].hi[a], box_[2 * n + 1].hi[a]);
        }
    }
}

int CentreCurve::arcOf(double t) const {
    const int k = static_cast<int>(t / ArcStep);
    return std::clamp(k, 0, Arcs - 1);
}

// The smallest |p - C(t)|^2 on arc k, if below bestSquared, into bestT and
// bestSquared; start is where the search begins, as a fraction of the arc.
void CentreCurve::minimiseOnArc(const Point3& p, int k, double start, double& bestT,
                                double& bestSquared) const {
    const auto keep = [&](std::pair<double, double> found) {
        if (found.second < bestSquared) {
            bestT = found.first;
            bestSquared = found.second;
        }
    };
    const double lo = arcStart(k);
    const double hi = arcStart(k + 1);
    const Point3 a = minus(vertex_[k], p);
    const Point3 b = minus(vertex_[k + 1], p);
    const double reach = std::sqrt(std::max(dot(a, a), dot(b, b))) + Sag;
    if (reach < ConvexReach) {
        // One minimum at most: inside if g turns from negative to positive,
        // otherwise at an end, which the caller has already counted.
        if (dot(a, tangent_[k]) < 0.0 && dot(b, tangent_[k + 1]) > 0.0) {
            keep(minimumBetween(p, lo, hi, lo + start * (hi - lo)));
        }
        return;
    }
    double pieceStart = lo;
    double g = dot(a, tangent_[k]);
    for (int m = 1; m <= FarPieces; ++m) {
        const double t = m == FarPieces ? hi : lo + (hi - lo) * m / FarPieces;
        const CurveJet j = curveAt(t);
        const Point3 r = minus(j.c, p);
        const double next = dot(r, j.d1);
        keep({t, dot(r, r)});
        if (g < 0.0 && next > 0.0) {
            keep(minimumBetween(p, pieceStart, t, 0.5 * (pieceStart + t)));
        }
        pieceStart = t;
        g = next;
    }
}

Closest CentreCurve::closest(const Point3& p, int hint) const {
    hint = std::clamp(hint, 0, Arcs - 1);
    double bestT = arcStart(hint);
    double bestSquared = dot(minus(vertex_[hint], p), minus(vertex_[hint], p));

    const auto boxDistanceSquared = [&](int n) {
        double sum = 0.0;
        for (int a = 0; a < 3; ++a) {
            const double below = box_[n].lo[a] - p[a];
            const double above = p[a] - box_[n].hi[a];
            const double d = std::max({below, above, 0.0});
            sum += d * d;
        }
        return sum;
    };

    // Depth first through the boxes, nearer child first; an arc whose chord
    // lies within the best distance so far (plus its sag) may hold the
    // closest point and is kept for a closer look.
    struct Candidate {
        int arc;
        double lowerBound;
        double start;
    };
    Candidate candidates[MaxCandidates];
    int candidateCount = 0;
    struct Pending {
        int node;
        double lowerSquared;
    };
    Pending stack[64];
    int top = 0;
    stack[top++] = {1, boxDistanceSquared(1)};
    while (top > 0) {
        const Pending item = stack[--top];
        if (item.lowerSquared > bestSquared) {
            continue;
        }
        if (item.node >= Arcs) {
            const int k = item.node - Arcs;
            const Point3 ap = minus(p, vertex_[k]);
            const Point3 chord = minus(vertex_[k + 1], vertex_[k]);
            const double s = std::clamp(dot(ap, chord) / dot(chord, chord), 0.0, 1.0);
            const Point3 off = {ap[0] - s * chord[0], ap[1] - s * chord[1], ap[2] - s * chord[2]};
            const double lowerBound = std::sqrt(dot(off, off)) - Sag;
            for (int end : {k, k + 1}) {
                const Point3 r = minus(vertex_[end], p);
                if (dot(r, r) < bestSquared) {
                    bestSquared = dot(r, r);
                    bestT = arcStart(end);
                }
            }
            if (lowerBound <= 0.0 || lowerBound * lowerBound <= bestSquared) {
                if (candidateCount < MaxCandidates) {
                    candidates[candidateCount++] = {k, lowerBound, s};
                } else {
                    minimiseOnArc(p, k, s, bestT, bestSquared);
                }
            }
            continue;
        }
        const Pending left = {2 * item.node, boxDistanceSquared(2 * item.node)};
        const Pending right = {2 * item.node + 1, boxDistanceSquared(2 * item.node + 1)};
        // The nearer child is taken first.
        const bool leftNearer = left.lowerSquared <= right.lowerSquared;
        stack[top++] = leftNearer ? right : left;
        stack[top++] = leftNearer ? left : right;
    }

    std::sort(candidates, candidates + candidateCount,
              [](const Candidate& a, const Candidate& b) { return a.lowerBound < b.lowerBound; });
    for (int c = 0; c < candidateCount; ++c) {
        const double bound = candidates[c].lowerBound;
        if (bound > 0.0 && bound * bound > bestSquared) {
            break;
        }
        minimiseOnArc(p, candidates[c].arc, candidates[c].start, bestT, bestSquared);
    }

    const CurveJet j = curveAt(bestT);
    const Point3 n = unit(cross(j.c, j.d1));
    const Point3 b = unit(cross(n, j.d1));
    const Point3 r = minus(p, j.c);
    return Closest{bestT, std::sqrt(bestSquared), std::atan2(dot(r, b), dot(r, n))};
}
