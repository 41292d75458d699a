#pragma once
// Test helpers for Vector3: Invalid vectors (no operation produces one) and an
// exact comparison of components and kind.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <iomanip>
#include <sstream>
#include <type_traits>

#include "geometry/vector3.h"

// Zero-filled storage holding a Vector3 reads as the Invalid zero vector.
inline Vector3 invalidVector() {
    static_assert(std::is_trivially_copyable_v<Vector3>, "Vector3 must be trivially copyable");
    unsigned char zeros[sizeof(Vector3)] = {};
    Vector3 v;
    std::memcpy(&v, zeros, sizeof v);
    return v;
}

// A vector of the given kind holding exactly the components of text such as
// "[1,2,3]": reading stores the numbers and keeps the kind.
inline Vector3 vectorOfKind(VectorKind kind, const char* text) {
    Vector3 v = kind == Invalid ? invalidVector()
                : kind == Unit  ? unit(Vector3(1, 0, 0))
                                : Vector3();
    std::istringstream in(text);
    in >> v;
    return v;
}

// Components within tol (exactly equal for tol 0) and the same kind.
inline ::testing::AssertionResult vectorIs(const Vector3& v, double x, double y, double z,
                                           VectorKind kind, double tol = 0.0) {
    const auto close = [tol](double a, double b) { return a == b || std::fabs(a - b) <= tol; };
    if (close(v.getX(), x) && close(v.getY(), y) && close(v.getZ(), z) && v.kind() == kind) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << std::setprecision(17) << "got (" << v.getX() << ", " << v.getY() << ", " << v.getZ()
           << ") kind " << v.kind() << ", expected (" << x << ", " << y << ", " << z << ") kind "
           << kind;
}
