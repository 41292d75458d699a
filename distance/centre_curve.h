#pragma once
// The exact centre curve of the tube, for every real parameter, and the
// global closest point of it to any point in space.

#include <array>
#include <vector>

using Point3 = std::array<double, 3>;

// The parameter in which the curve closes, 4 pi (true pi, not the
// application's truncated one: this is the exact curve).
constexpr double CurvePeriod = 4.0 * 3.14159265358979323846;

// Position and first and second derivatives of the curve at t, in surface
// coordinates: C(t) = (sin 1.5t, rho cos t, rho sin t), rho = 0.5 cos 1.5t + 1.5.
struct CurveJet {
    Point3 c;
    Point3 d1;
    Point3 d2;
};
CurveJet curveAt(double t);

// The closest point of the curve to a point p.
struct Closest {
    // Curve parameter, in [0, CurvePeriod].
    double t;
    // |p - C(t)|.
    double distance;
    // Angle of p about the curve, in (-pi, pi]: measured in the normal plane
    // from N = unit(C x C') towards B = unit(N x C'), the frame in which the
    // tube is sampled, so that it equals the sampling angle on the tube.
    double angle;
};

// The curve tabulated once as a polyline in a tree of bounding boxes, so that
// a query only looks closely at the few arcs that can hold the closest point.
class CentreCurve {
  public:
    CentreCurve();

    // The global closest point. Exact to rounding for p within 0.76 of the
    // curve (the tube has radius 0.2), where no arc of the table can hold
    // more than one minimum; farther points are searched on 32 pieces of
    // every arc that may hold the closest point. hint is an arc index (from
    // arcOf of an answer before) that only speeds the search up when p lies
    // near the point asked about then.
    Closest closest(const Point3& p, int hint = 0) const;

    // The arc that holds parameter t, as a hint for the next query.
    int arcOf(double t) const;

  private:
    struct Box {
        Point3 lo;
        Point3 hi;
    };
    std::vector<Point3> vertex_;   // C(t_k), k = 0 .. Arcs
    std::vector<Point3> tangent_;  // C'(t_k)
    std::vector<Box> box_;         // heap order: node n has children 2n, 2n + 1

    void minimiseOnArc(const Point3& p, int k, double start, double& bestT,
                       double& bestSquared) const;
};
