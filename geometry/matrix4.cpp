#include "geometry/matrix4.h"

double HPoint::dot(const HPoint& b) const {
    return ::dot(*this, b);
}

HPoint& add(const HPoint& a, const HPoint& b, HPoint& out) {
    if (!a.isValid() || !b.isValid()) {
        return out = HPoint();
    }
    for (int i = 0; i < 4; ++i) {
        out.c[i] = a.c[i] + b.c[i];
    }
    out.valid = 1;
    return out;
}

HPoint& subtract(const HPoint& a, const HPoint& b, HPoint& out) {
    if (!a.isValid() || !b.isValid()) {
        return out = HPoint();
    }
    for (int i = 0; i < 4; ++i) {
        out.c[i] = a.c[i] - b.c[i];
    }
    out.valid = 1;
    return out;
}

HPoint& negate(const HPoint& a, HPoint& out) {
    if (!a.isValid()) {
        return out = HPoint();
    }
    for (int i = 0; i < 4; ++i) {
        out.c[i] = -a.c[i];
    }
    out.valid = a.valid;
    return out;
}

HPoint& scale(const HPoint& a, const double& s, HPoint& out) {
    if (!a.isValid()) {
        return out = HPoint();
    }
    const double factor = s;  // s may alias a component of out
    for (int i = 0; i < 4; ++i) {
        out.c[i] = a.c[i] * factor;
    }
    out.valid = a.valid;
    return out;
}

double dot(const HPoint& a, const HPoint& b) {
    if (!a.isValid() || !b.isValid()) {
        return 0.0;
    }
    return a.c[0] * b.c[0] + a.c[1] * b.c[1] + a.c[2] * b.c[2] + a.c[3] * b.c[3];
}

Matrix4 Matrix4::operator*(const Matrix4& b) const {
    Matrix4 out;
    return multiply(*this, b, out);
}

Matrix4& add(const Matrix4& a, const Matrix4& b, Matrix4& out) {
    for (int n = 0; n < 16; ++n) {
        out.entry(n) = a.entry(n) + b.entry(n);
    }
    return out;
}

Matrix4& subtract(const Matrix4& a, const Matrix4& b, Matrix4& out) {
    for (int n = 0; n < 16; ++n) {
        out.entry(n) = a.entry(n) - b.entry(n);
    }
    return out;
}

Matrix4& scale(const Matrix4& a, const double& s, Matrix4& out) {
    const double factor = s;  // s may alias an entry of out
    for (int n = 0; n < 16; ++n) {
        out.entry(n) = a.entry(n) * factor;
    }
    return out;
}

Matrix4& multiply(const Matrix4& a, const Matrix4& b, Matrix4& out) {
    // Computed into a local so that out may be an operand.
    Matrix4 product;
    for (int j = 0; j < 4; ++j) {
        for (int i = 0; i < 4; ++i) {
            product.entry(4 * i + j) = a.get(i, 0) * b.get(0, j) + a.get(i, 1) * b.get(1, j) +
                                       a.get(i, 2) * b.get(2, j) + a.get(i, 3) * b.get(3, j);
        }
    }
    return out = product;
}
