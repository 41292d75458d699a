#pragma once
// 3x3 matrix (row-major, applied to column vectors): rotations, products,
// determinant, inverse and a parenthesised row text form.

#include <iosfwd>

#include "geometry/vector3.h"

// Below this |determinant| the inverse gives the identity.
constexpr double SingularTolerance = 0.001;
// The value of pi of the axis rotation.
constexpr double AxisPi = 3.14159;

class Matrix3 {
  public:
    // The identity.
    Matrix3() : m{1, 0, 0, 0, 1, 0, 0, 0, 1} {}
    // Nine values, row by row.
    Matrix3(double m00, double m01, double m02, double m10, double m11, double m12, double m20,
            double m21, double m22)
        : m{m00, m01, m02, m10, m11, m12, m20, m21, m22} {}
    // Rx(angleX) * Ry(angleY) * Rz(angleZ), angles in radians.
    Matrix3(double angleX, double angleY, double angleZ);
    // Right-handed rotation about axis by angle degrees (pi taken as AxisPi).
    // The axis is used as given, not normalised.
    Matrix3(const Vector3& axis, double angle);

    // Element (row, col); both must lie in 0..2.
    double get(int row, int col) const { return m[3 * row + col]; }
    double entry(int n) const { return m[n]; }
    double& entry(int n) { return m[n]; }

    // Cofactor expansion along row 0.
    double determinant() const;
    // Transposes in place.
    Matrix3& transpose();

    // m * v as a Plain vector, whatever the kind of v.
    Vector3 operator*(const Vector3& v) const;
    Matrix3 operator*(const Matrix3& b) const;

    // Three lines "(a,b,c)", each ended by std::endl.
    std::ostream& print(std::ostream& out) const;
    // Per row: character, number, character, number, character, number,
    // character. A number that fails to read leaves its entry unchanged.
    std::istream& read(std::istream& in);

  private:
    double m[9];
};

// Entrywise; out may be an operand.
Matrix3& add(const Matrix3& a, const Matrix3& b, Matrix3& out);
Matrix3& subtract(const Matrix3& a, const Matrix3& b, Matrix3& out);
Matrix3& scale(const Matrix3& a, const double& s, Matrix3& out);
// a * b; out may be an operand.
Matrix3& multiply(const Matrix3& a, const Matrix3& b, Matrix3& out);
// m * v into out, kind Plain.
Vector3& apply(const Matrix3& m, const Vector3& v, Vector3& out);
// The inverse, or the identity when |determinant| < SingularTolerance or the
// determinant is not a number. out may be m.
Matrix3& inverse(const Matrix3& m, Matrix3& out);

std::ostream& operator<<(std::ostream& out, const Matrix3& m);
std::istream& operator>>(std::istream& in, Matrix3& m);
