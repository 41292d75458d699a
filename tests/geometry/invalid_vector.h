#pragma once
// Helpers of the geometry tests: Invalid vectors (no operation produces one),
// an exact vector comparison and text conversions.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <iomanip>
#include <iterator>
#include <sstream>
#include <string>
#include <type_traits>

#include "geometry/vector3.h"

// Zero-filled storage holding a Vector3 reads as the Invalid zero vector.
inline Vector3 invalidVector() {
    static_assert(std::is_trivially_copyable_v<Vector3>);
    unsigned char zeros[sizeof(Vector3)] = {};
    Vector3 v;
    std::memcpy(&v, zeros, sizeof v);
    return v;
}

// A vector of the given kind holding exactly the numbers of text such as
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
    const auto near = [tol](double a, double b) { return a == b || std::fabs(a - b) <= tol; };
    if (near(v.getX(), x) && near(v.getY(), y) && near(v.getZ(), z) && v.kind() == kind) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << std::setprecision(17) << "got (" << v.getX() << ", " << v.getY() << ", " << v.getZ()
           << ") kind " << v.kind() << ", expected (" << x << ", " << y << ", " << z << ") kind "
           << kind;
}

template <class T>
std::string text(const T& value) {
    std::ostringstream out;
    out << value;
    return out.str();
}

// What a reader left in the stream, whatever its state.
inline std::string rest(std::istream& in) {
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
