#include "geometry/vector3.h"

#include <cmath>
#include <istream>
#include <ostream>

double Vector3::length() const {
    if (!isValid()) {
        return 0.0;
    }
    if (isUnit()) {
        return 1.0;
    }
    return std::sqrt(sqr(x_) + sqr(y_) + sqr(z_));
}

double Vector3::dot(const Vector3& b) const {
    if (!isValid() || !b.isValid()) {
        return 0.0;
    }
    return x_ * b.x_ + y_ * b.y_ + z_ * b.z_;
}

double Vector3::distanceTo(const Vector3& b) const {
    return (*this - b).length();
}

Vector3& Vector3::normalize() {
    if (!isPlain()) {
        return *this;
    }
    const double len = length();
    if (len >= MinUnitLength) {
        // Multiplying by the reciprocal, not dividing, fixes the last bit.
        const double f = 1.0 / len;
        x_ *= f;
        y_ *= f;
        z_ *= f;
    } else {
        // Also taken for a length that is not a number.
        x_ = 0.0;
        y_ = 0.0;
        z_ = 0.0;
    }
    kind_ = Unit;
    return *this;
}

Vector3& Vector3::clearUnit() {
    if (isUnit()) {
        kind_ = Plain;
    }
    return *this;
}

Vector3 Vector3::operator+(const Vector3& b) const {
    Vector3 out;
    return add(*this, b, out);
}

Vector3 Vector3::operator-(const Vector3& b) const {
    Vector3 out;
    return subtract(*this, b, out);
}

Vector3 Vector3::operator*(double s) const {
    Vector3 out;
    return scale(*this, s, out);
}

Vector3 Vector3::cross(const Vector3& b) const {
    Vector3 out;
    return ::cross(*this, b, out);
}

std::ostream& Vector3::print(std::ostream& out) const {
    if (!isValid()) {
        return out << "Invalid";
    }
    const bool angled = isUnit();
    return out << (angled ? "<" : "[") << x_ << "," << y_ << "," << z_ << (angled ? ">" : "]");
}

namespace {
// Stores into target only when the number was read: a failed extraction
// would otherwise store 0.
void readComponent(std::istream& in, double& target) {
    double value = 0.0;
    if (in >> value) {
        target = value;
    }
}
}  // namespace

std::istream& Vector3::read(std::istream& in) {
    char c = 0;
    in >> c;
    readComponent(in, x_);
    in >> c;
    readComponent(in, y_);
    in >> c;
    readComponent(in, z_);
    in >> c;
    return in;
}

Vector3& add(const Vector3& a, const Vector3& b, Vector3& out) {
    if (!a.isValid() || !b.isValid()) {
        return out = Vector3();
    }
    out.x_ = a.x_ + b.x_;
    out.y_ = a.y_ + b.y_;
    out.z_ = a.z_ + b.z_;
    out.kind_ = Plain;
    return out;
}

Vector3& subtract(const Vector3& a, const Vector3& b, Vector3& out) {
    if (!a.isValid() || !b.isValid()) {
        return out = Vector3();
    }
    out.x_ = a.x_ - b.x_;
    out.y_ = a.y_ - b.y_;
    out.z_ = a.z_ - b.z_;
    out.kind_ = Plain;
    return out;
}

Vector3& cross(const Vector3& a, const Vector3& b, Vector3& out) {
    if (!a.isValid() || !b.isValid()) {
        return out = Vector3();
    }
    // Computed into locals first so that out may be an operand.
    const double x = a.y_ * b.z_ - a.z_ * b.y_;
    const double y = a.z_ * b.x_ - a.x_ * b.z_;
    const double z = a.x_ * b.y_ - a.y_ * b.x_;
    out.x_ = x;
    out.y_ = y;
    out.z_ = z;
    out.kind_ = Plain;
    return out;
}

Vector3& scale(const Vector3& v, double s, Vector3& out) {
    if (!v.isValid()) {
        return out = Vector3();
    }
    out.x_ = v.x_ * s;
    out.y_ = v.y_ * s;
    out.z_ = v.z_ * s;
    out.kind_ = v.kind_;
    return out;
}

Vector3& negate(const Vector3& v, Vector3& out) {
    if (!v.isValid()) {
        return out = Vector3();
    }
    out.x_ = -v.x_;
    out.y_ = -v.y_;
    out.z_ = -v.z_;
    out.kind_ = v.kind_;
    return out;
}

double dot(const Vector3& a, const Vector3& b) {
    return a.dot(b);
}

Vector3 unit(const Vector3& v) {
    Vector3 copy = v;
    return copy.normalize();
}

std::ostream& operator<<(std::ostream& out, const Vector3& v) {
    return v.print(out);
}

std::istream& operator>>(std::istream& in, Vector3& v) {
    return v.read(in);
}
