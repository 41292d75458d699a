#pragma once
// Three-component vector and point of the geometry kernel, with a kind flag
// that carries failure instead of errors.

#include <cstdint>
#include <iosfwd>

class Line3;

// What a Vector3 holds. Any kind other than Invalid counts as valid.
enum VectorKind : std::int32_t { Invalid = 0, Plain = 1, Unit = 2 };

// Vectors shorter than this normalise to the zero vector.
constexpr double MinUnitLength = 0.001;

class Vector3 {
  public:
    // (0, 0, 0) of kind Plain: also the fallback of every failed operation.
    Vector3() = default;
    Vector3(double x, double y, double z) : x_(x), y_(y), z_(z), kind_(Plain) {}
    // Point midway between the closest points of two lines; (0, 0, 0) Plain
    // when either line is not valid.
    Vector3(const Line3& a, const Line3& b);

    double getX() const { return x_; }
    double getY() const { return y_; }
    double getZ() const { return z_; }
    std::int32_t kind() const { return kind_; }
    bool isValid() const { return kind_ != Invalid; }
    bool isPlain() const { return kind_ == Plain; }
    bool isUnit() const { return kind_ == Unit; }

    // Invalid: 0.0. Unit: 1.0 without computing it. Otherwise Euclidean.
    double length() const;
    double dot(const Vector3& b) const;
    double distanceTo(const Vector3& b) const;

    // Plain vectors only: scale to length 1 (or zero when shorter than
    // MinUnitLength) and mark Unit. Other kinds are left as they are.
    Vector3& normalize();
    // Unit becomes Plain; components and other kinds unchanged.
    Vector3& clearUnit();

    Vector3 operator+(const Vector3& b) const;
    Vector3 operator-(const Vector3& b) const;
    Vector3 operator*(double s) const;
    Vector3 cross(const Vector3& b) const;

    // "Invalid", <x,y,z> for Unit, [x,y,z] otherwise, in the stream's format.
    std::ostream& print(std::ostream& out) const;
    // Reads bracket, x, separator, y, separator, z, bracket. Characters are
    // not compared; the kind is kept; a number that fails to read leaves its
    // component unchanged and the failure in the stream.
    std::istream& read(std::istream& in);

  private:
    friend Vector3& add(const Vector3&, const Vector3&, Vector3&);
    friend Vector3& subtract(const Vector3&, const Vector3&, Vector3&);
    friend Vector3& cross(const Vector3&, const Vector3&, Vector3&);
    friend Vector3& scale(const Vector3&, double, Vector3&);
    friend Vector3& negate(const Vector3&, Vector3&);

    double x_ = 0.0;
    double y_ = 0.0;
    double z_ = 0.0;
    std::int32_t kind_ = Plain;
};

inline double sqr(double d) {
    return d * d;
}

// Primitives write into out and return it. An Invalid operand gives the zero
// Plain vector. out may be an operand, also for cross.
Vector3& add(const Vector3& a, const Vector3& b, Vector3& out);
Vector3& subtract(const Vector3& a, const Vector3& b, Vector3& out);
Vector3& cross(const Vector3& a, const Vector3& b, Vector3& out);
// Keeps the kind of v (a scaled Unit vector stays Unit).
Vector3& scale(const Vector3& v, double s, Vector3& out);
Vector3& negate(const Vector3& v, Vector3& out);

double dot(const Vector3& a, const Vector3& b);
// A normalised copy: see Vector3::normalize.
Vector3 unit(const Vector3& v);

std::ostream& operator<<(std::ostream& out, const Vector3& v);
std::istream& operator>>(std::istream& in, Vector3& v);
