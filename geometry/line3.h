#pragma once
// Infinite straight line: a base point and a normalised direction.

#include <iosfwd>

#include "geometry/vector3.h"

// Below this |1 - d^2| two directions count as parallel.
constexpr double ParallelTolerance = 0.001;

class Line3 {
  public:
    // Both fields the zero Plain vector: not a valid line.
    Line3() = default;
    // p is the base point. A Unit q is the direction, taken unchanged;
    // otherwise q is a second point and the direction is unit(q - p).
    Line3(const Vector3& p, const Vector3& q);

    Vector3 point() const { return P; }
    Vector3 direction() const { return V; }
    // The direction is Unit and the base point valid. A zero Unit direction
    // is valid and makes the line behave as its base point.
    bool isValid() const { return V.isUnit() && P.isValid(); }

    // Feet of the common perpendicular (for parallel lines this line's base
    // point and its foot on the other). Returns 1, or 0 without writing
    // anything when either line is not valid. The outputs may alias.
    int closestPoints(const Line3& other, Vector3& onThis, Vector3& onOther) const;
    // Distance between the closest points; 0.0 when either is not valid.
    double distanceTo(const Line3& other) const;
    // Distance from pt to the line; 0.0 when the line or pt is not valid.
    double distanceTo(const Vector3& pt) const;

    // (P=[..],V=<..>) or "Invalid".
    std::ostream& print(std::ostream& out) const;
    // Reads what print writes, consuming exactly that text. Kinds are kept:
    // the numbers are stored, the direction is not normalised.
    std::istream& read(std::istream& in);

  private:
    Vector3 P;
    Vector3 V;
};

std::ostream& operator<<(std::ostream& out, const Line3& line);
std::istream& operator>>(std::istream& in, Line3& line);
