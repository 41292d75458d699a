#include "geometry/matrix3.h"

#include <cmath>
#include <istream>
#include <ostream>
#include <utility>

Matrix3::Matrix3(double angleX, double angleY, double angleZ) {
    const double sa = std::sin(angleX);
    const double ca = std::cos(angleX);
    const double sb = std::sin(angleY);
    const double cb = std::cos(angleY);
    const double sc = std::sin(angleZ);
    const double cc = std::cos(angleZ);
    m[0] = cb * cc;
    m[1] = (-cb) * sc;
    m[2] = sb;
    m[3] = (sa * sb) * cc + ca * sc;
    m[4] = ((-sa) * sb) * sc + ca * cc;
    m[5] = (-sa) * cb;
    m[6] = ((-ca) * sb) * cc + sa * sc;
    m[7] = (ca * sb) * sc + sa * cc;
    m[8] = ca * cb;
}

Matrix3::Matrix3(const Vector3& axis, double angle) {
    const double theta = angle * AxisPi / 180.0;
    const double c = std::cos(theta);
    const double s = std::sin(theta);
    const double t = 1.0 - c;
    const double x = axis.getX();
    const double y = axis.getY();
    const double z = axis.getZ();
    m[0] = t * x * x + c;
    m[1] = t * x * y - z * s;
    m[2] = t * x * z + y * s;
    m[3] = t * x * y + z * s;
    m[4] = t * y * y + c;
    m[5] = t * y * z - x * s;
    m[6] = t * x * z - y * s;
    m[7] = t * y * z + x * s;
    m[8] = t * z * z + c;
}

double Matrix3::determinant() const {
    return (m[4] * m[8] - m[5] * m[7]) * m[0] - (m[3] * m[8] - m[5] * m[6]) * m[1] +
           (m[3] * m[7] - m[4] * m[6]) * m[2];
}

Matrix3& Matrix3::transpose() {
    std::swap(m[1], m[3]);
    std::swap(m[2], m[6]);
    std::swap(m[5], m[7]);
    return *this;
}

Vector3 Matrix3::operator*(const Vector3& v) const {
    Vector3 out;
    return apply(*this, v, out);
}

Matrix3 Matrix3::operator*(const Matrix3& b) const {
    Matrix3 out;
    return multiply(*this, b, out);
}

std::ostream& Matrix3::print(std::ostream& out) const {
    for (int i = 0; i < 3; ++i) {
        out << "(" << get(i, 0) << "," << get(i, 1) << "," << get(i, 2) << ")" << std::endl;
    }
    return out;
}

std::istream& Matrix3::read(std::istream& in) {
    char c = 0;
    for (int n = 0; n < 9; ++n) {
        in >> c;
        // A failed extraction stores 0; keep the entry instead.
        double value = 0.0;
        if (in >> value) {
            m[n] = value;
        }
        if (n % 3 == 2) {
            in >> c;
        }
    }
    return in;
}

Matrix3& add(const Matrix3& a, const Matrix3& b, Matrix3& out) {
    for (int n = 0; n < 9; ++n) {
        out.entry(n) = a.entry(n) + b.entry(n);
    }
    return out;
}

Matrix3& subtract(const Matrix3& a, const Matrix3& b, Matrix3& out) {
    for (int n = 0; n < 9; ++n) {
        out.entry(n) = a.entry(n) - b.entry(n);
    }
    return out;
}

Matrix3& scale(const Matrix3& a, const double& s, Matrix3& out) {
    const double factor = s;  // s may alias an entry of out
    for (int n = 0; n < 9; ++n) {
        out.entry(n) = a.entry(n) * factor;
    }
    return out;
}

Matrix3& multiply(const Matrix3& a, const Matrix3& b, Matrix3& out) {
    Matrix3 product;  // so that out may be an operand
    for (int j = 0; j < 3; ++j) {
        for (int i = 0; i < 3; ++i) {
            product.entry(3 * i + j) =
                a.get(i, 0) * b.get(0, j) + a.get(i, 1) * b.get(1, j) + a.get(i, 2) * b.get(2, j);
        }
    }
    return out = product;
}

Vector3& apply(const Matrix3& m, const Vector3& v, Vector3& out) {
    const double x = v.getX();
    const double y = v.getY();
    const double z = v.getZ();
    return out = Vector3(x * m.get(0, 0) + y * m.get(0, 1) + z * m.get(0, 2),
                         x * m.get(1, 0) + y * m.get(1, 1) + z * m.get(1, 2),
                         x * m.get(2, 0) + y * m.get(2, 1) + z * m.get(2, 2));
}

Matrix3& inverse(const Matrix3& m, Matrix3& out) {
    const double d = m.determinant();
    if (!(std::fabs(d) >= SingularTolerance)) {
        return out = Matrix3();
    }
    const auto e = [&m](int row, int col) { return m.get(row, col); };
    Matrix3 adj(e(1, 1) * e(2, 2) - e(1, 2) * e(2, 1), e(2, 1) * e(0, 2) - e(2, 2) * e(0, 1),
                e(0, 1) * e(1, 2) - e(0, 2) * e(1, 1), e(1, 2) * e(2, 0) - e(1, 0) * e(2, 2),
                e(2, 2) * e(0, 0) - e(2, 0) * e(0, 2), e(0, 2) * e(1, 0) - e(0, 0) * e(1, 2),
                e(1, 0) * e(2, 1) - e(1, 1) * e(2, 0), e(2, 0) * e(0, 1) - e(2, 1) * e(0, 0),
                e(0, 0) * e(1, 1) - e(0, 1) * e(1, 0));
    const double k = 1.0 / d;
    scale(adj, k, adj);
    return out = adj;
}

std::ostream& operator<<(std::ostream& out, const Matrix3& m) {
    return m.print(out);
}

std::istream& operator>>(std::istream& in, Matrix3& m) {
    return m.read(in);
}
