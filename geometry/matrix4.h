#pragma once
// Homogeneous point (four doubles and a validity flag) and 4x4 matrix
// (row-major) for the bicubic patch machinery.

#include <cstdint>

struct HPoint {
    // Every constructor marks the point valid.
    constexpr HPoint() = default;
    constexpr HPoint(double c0, double c1, double c2, double c3) : c{c0, c1, c2, c3} {}

    bool isValid() const { return valid != 0; }
    double dot(const HPoint& b) const;

    double c[4] = {0.0, 0.0, 0.0, 0.0};
    // Nonzero means valid.
    std::int32_t valid = 1;
};

// An invalid operand gives the zero point marked valid. Componentwise, so out
// may be an operand. add and subtract mark out valid; negate and scale copy
// the operand's flag.
HPoint& add(const HPoint& a, const HPoint& b, HPoint& out);
HPoint& subtract(const HPoint& a, const HPoint& b, HPoint& out);
HPoint& negate(const HPoint& a, HPoint& out);
HPoint& scale(const HPoint& a, const double& s, HPoint& out);
// ((a0*b0 + a1*b1) + a2*b2) + a3*b3; 0.0 when either is invalid.
double dot(const HPoint& a, const HPoint& b);

class Matrix4 {
  public:
    // The identity.
    constexpr Matrix4() : m{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1} {}
    // Sixteen values, row by row.
    constexpr Matrix4(double m00, double m01, double m02, double m03, double m10, double m11,
                      double m12, double m13, double m20, double m21, double m22, double m23,
                      double m30, double m31, double m32, double m33)
        : m{m00, m01, m02, m03, m10, m11, m12, m13, m20, m21, m22, m23, m30, m31, m32, m33} {}

    // Element (row, col); both must lie in 0..3.
    double get(int row, int col) const { return m[4 * row + col]; }
    // Entry n = 4 * row + col, n in 0..15.
    double entry(int n) const { return m[n]; }
    double& entry(int n) { return m[n]; }

    // The product this * b; never writes an operand.
    Matrix4 operator*(const Matrix4& b) const;

  private:
    double m[16];
};

// Entrywise; out may be an operand.
Matrix4& add(const Matrix4& a, const Matrix4& b, Matrix4& out);
Matrix4& subtract(const Matrix4& a, const Matrix4& b, Matrix4& out);
Matrix4& scale(const Matrix4& a, const double& s, Matrix4& out);
// a * b with each entry summed over k = 0..3 left to right. out may be an
// operand.
Matrix4& multiply(const Matrix4& a, const Matrix4& b, Matrix4& out);
