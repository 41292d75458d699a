#include "geometry/line3.h"

#include <cmath>
#include <istream>
#include <ostream>

Line3::Line3(const Vector3& p, const Vector3& q) : P(p) {
    V = q.isUnit() ? q : unit(q - p);
}

int Line3::closestPoints(const Line3& other, Vector3& onThis, Vector3& onOther) const {
    if (!isValid() || !other.isValid()) {
        return 0;
    }
    const Vector3& p1 = P;
    const Vector3& v1 = V;
    const Vector3& p2 = other.P;
    const Vector3& v2 = other.V;
    const double d = dot(v1, v2);
    const double den = 1.0 - sqr(d);
    Vector3 a1;
    Vector3 a2;
    Vector3 step;
    if (std::fabs(den) >= ParallelTolerance) {
        const double a = dot(v1, p2 - p1);
        const double b = dot(v2, p1 - p2);
        const double s = (d * a + b) / den;
        const double u = (d * b + a) / den;
        add(p1, scale(v1, u, step), a1);
        add(p2, scale(v2, s, step), a2);
    } else {
        // Also taken when den is not a number.
        const double t = dot(v1, p1 - p2) / d;
        a1 = p1;
        add(p2, scale(v2, t, step), a2);
    }
    onThis = a1;
    onOther = a2;
    return 1;
}

double Line3::distanceTo(const Line3& other) const {
    Vector3 p;
    Vector3 q;
    if (closestPoints(other, p, q) == 1) {
        return p.distanceTo(q);
    }
    return 0.0;
}

double Line3::distanceTo(const Vector3& pt) const {
    if (!isValid() || !pt.isValid()) {
        return 0.0;
    }
    const double t = dot(V, pt - P);
    Vector3 step;
    Vector3 foot;
    add(P, scale(V, t, step), foot);
    return pt.distanceTo(foot);
}

std::ostream& Line3::print(std::ostream& out) const {
    if (!isValid()) {
        return out << "Invalid";
    }
    out << "(P=";
    P.print(out);
    out << ",V=";
    V.print(out);
    return out << ")";
}

std::istream& Line3::read(std::istream& in) {
    // The text "Invalid": I, at most 19 further characters up to the d, then
    // the d itself. Peeking keeps the d and anything past it in the stream.
    constexpr int MaxSkippedBeforeD = 19;
    char c = 0;
    if (!(in >> c)) {
        return in;
    }
    if (c == 'I') {
        *this = Line3();
        for (int skipped = 0; skipped < MaxSkippedBeforeD; ++skipped) {
            const auto next = in.peek();
            if (next == std::istream::traits_type::eof() || next == 'd') {
                break;
            }
            in.get();
        }
    } else {
        in >> c >> c;  // P=
        P.read(in);
        in >> c >> c >> c;  // ,V=
        V.read(in);
    }
    in >> c;
    return in;
}

std::ostream& operator<<(std::ostream& out, const Line3& line) {
    return line.print(out);
}

std::istream& operator>>(std::istream& in, Line3& line) {
    return line.read(in);
}

Vector3::Vector3(const Line3& a, const Line3& b) {
    Vector3 p;
    Vector3 q;
    if (a.closestPoints(b, p, q) == 1) {
        *this = (p + q) * 0.5;
    }
}
