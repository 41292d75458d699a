#include "geometry/matrix3.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

#include "invalid_vector.h"

namespace {

constexpr double Tol = 1e-15;

// Exactly equal for tol 0.
void expectMatrix(const Matrix3& actual, const Matrix3& expected, double tol = 0.0) {
    for (int n = 0; n < 9; ++n) {
        EXPECT_TRUE(actual.entry(n) == expected.entry(n) ||
                    std::fabs(actual.entry(n) - expected.entry(n)) <= tol)
            << "entry " << n << ": " << actual.entry(n) << " vs " << expected.entry(n);
    }
}

Matrix3 diagonal(double a, double b, double c) {
    return Matrix3(a, 0, 0, 0, b, 0, 0, 0, c);
}

const Matrix3 Sample(2, -1, 0, 1, 3, 2, 0, 1, 4);  // determinant 24
const Matrix3 Other(1, 2, 3, 4, 5, 6, 7, 8, 10);

TEST(Matrix3Test, ThreeAngleRotations) {
    const double t = 0.3;
    EXPECT_TRUE(vectorIs(Matrix3(0, t, 0) * Vector3(1, 0, 0), std::cos(t), 0, -std::sin(t), Plain));
    EXPECT_TRUE(vectorIs(Matrix3(t, 0, 0) * Vector3(0, 1, 0), 0, std::cos(t), std::sin(t), Plain));
    EXPECT_TRUE(vectorIs(Matrix3(0, 0, t) * Vector3(1, 0, 0), std::cos(t), std::sin(t), 0, Plain));
    EXPECT_TRUE(vectorIs(Matrix3(0, std::acos(0.0), 0) * Vector3(1, 0, 0), 0, 0, -1, Plain, Tol));
    expectMatrix(Matrix3(0.3, -1.1, 2.4),
                 Matrix3(0.3, 0, 0) * Matrix3(0, -1.1, 0) * Matrix3(0, 0, 2.4), Tol);

    // Ten degrees about y, converted with pi = 3.14159265358.
    const Matrix3 orbit(0, 0.17453292519888888, 0);
    const double c = 0.9848077530123025;
    const double s = 0.17364817766639454;
    expectMatrix(orbit, Matrix3(c, 0, s, 0, 1, 0, -s, 0, c));
    EXPECT_TRUE(vectorIs(orbit * Vector3(0, 0, 5), 5 * s, 0, 5 * c, Plain));
}

TEST(Matrix3Test, AxisRotationUsesDegreesAndTheAxisAsGiven) {
    // 90 degrees with pi = 3.14159 is 1.570795 rad, slightly short of a right angle.
    const Matrix3 quarter(unit(Vector3(0, 0, 1)), 90);
    EXPECT_EQ(quarter.get(0, 0), 1.3267948966775328e-06);
    EXPECT_TRUE(vectorIs(quarter * Vector3(1, 0, 0), 1.3267948966775328e-06, 1, 0, Plain, 1e-11));
    // angle * 3.14159 / 180, multiplied first: 10 * (3.14159 / 180) is one bit lower.
    EXPECT_EQ(Matrix3(unit(Vector3(0, 0, 1)), 10).get(1, 0), 0.17364803248493949);

    // Not normalised: the result is no rotation.
    const Matrix3 stretched(Vector3(0, 0, 2), 90);
    EXPECT_EQ(stretched.get(1, 0), 1.9999999999982396);
    EXPECT_EQ(stretched.get(2, 2), 3.9999960196153097);
    EXPECT_TRUE(vectorIs(stretched * Vector3(1, 0, 0), 1.3268e-6, 2, 0, Plain, 1e-5));
    EXPECT_TRUE(vectorIs(stretched * Vector3(0, 0, 1), 0, 0, 4, Plain, 1e-5));

    // About a general unit axis: the axis stays put and the matrix is orthogonal.
    const Vector3 axis = unit(Vector3(1, 2, 3));
    const Matrix3 m(axis, 40);
    EXPECT_TRUE(vectorIs(m * axis, axis.getX(), axis.getY(), axis.getZ(), Plain, Tol));
    Matrix3 mt = m;
    expectMatrix(m * mt.transpose(), Matrix3(), 1e-14);
}

TEST(Matrix3Test, ApplyIgnoresKinds) {
    EXPECT_TRUE(vectorIs(Other * unit(Vector3(0, 0, 2)), 3, 6, 10, Plain));
    EXPECT_TRUE(vectorIs(Other * vectorOfKind(Invalid, "[1,2,3]"), 14, 32, 53, Plain));
    Vector3 out = unit(Vector3(1, 1, 0));
    EXPECT_TRUE(vectorIs(apply(Other, Vector3(1, 0, -1), out), -2, -2, -3, Plain));
    // Summed left to right: (x m00 + y m01) + z m02.
    EXPECT_EQ((Matrix3(1, 1, 1, 0, 0, 0, 0, 0, 0) * Vector3(1, 1e16, -1e16)).getX(), 0.0);
}

TEST(Matrix3Test, DeterminantAndInverse) {
    EXPECT_EQ(Sample.determinant(), 24.0);
    EXPECT_EQ(Other.determinant(), -3.0);
    Matrix3 inv(5, 5, 5, 5, 5, 5, 5, 5, 5);
    inverse(Sample, inv);
    // The adjugate is multiplied by 1 / 24, not divided by 24.
    EXPECT_EQ(inv.get(0, 0), 0.41666666666666663);
    expectMatrix(Sample * inv, Matrix3(), Tol);
    Matrix3 self = Sample;
    expectMatrix(inverse(self, self), inv);

    expectMatrix(inverse(diagonal(2, 2, 2), inv), diagonal(0.5, 0.5, 0.5));
    // A determinant of exactly the tolerance is still inverted.
    expectMatrix(inverse(diagonal(1, 1, 0.001), inv), diagonal(1, 1, 1000));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const Matrix3& singular :
         {diagonal(0, 0, 0), diagonal(0.05, 0.05, 0.05), diagonal(1, 1, std::nextafter(0.001, 0.0)),
          Matrix3(1, 2, 3, 2, 4, 6, 0, 1, 1), diagonal(nan, 1, 1)}) {
        Matrix3 out = Sample;
        expectMatrix(inverse(singular, out), Matrix3());
    }

    const Matrix3 rotation(0.4, -0.9, 1.3);
    Matrix3 transposed = rotation;
    expectMatrix(inverse(rotation, inv), transposed.transpose(), Tol);
    expectMatrix(transposed.transpose(), rotation);  // twice restores exactly
}

TEST(Matrix3Test, ProductsAndEntrywiseOperations) {
    Matrix3 t = Sample;
    EXPECT_EQ(&t.transpose(), &t);
    expectMatrix(t, Matrix3(2, 1, 0, -1, 3, 1, 0, 2, 4));

    const Matrix3 ab(-2, -1, 0, 27, 33, 41, 32, 37, 46);
    expectMatrix(Sample * Other, ab);
    expectMatrix(Other * Sample, Matrix3(4, 8, 16, 13, 17, 34, 22, 27, 56));
    Matrix3 first = Sample;
    expectMatrix(multiply(first, Other, first), ab);
    Matrix3 second = Other;
    expectMatrix(multiply(Sample, second, second), ab);
    Matrix3 square = Sample;
    expectMatrix(multiply(square, square, square), Sample * Sample);

    Matrix3 out;
    expectMatrix(add(Sample, Other, out), Matrix3(3, 1, 3, 5, 8, 8, 7, 9, 14));
    expectMatrix(subtract(out, Other, out), Sample);
    // The factor is read before its entry is overwritten.
    expectMatrix(scale(out, out.entry(0), out), Matrix3(4, -2, 0, 2, 6, 4, 0, 2, 8));
}

TEST(Matrix3Test, TextRoundTripsAndMalformedInput) {
    EXPECT_EQ(text(Matrix3()), "(1,0,0)\n(0,1,0)\n(0,0,1)\n");
    EXPECT_EQ(text(Matrix3(0.5, -2.25, 1e-05, 1234567, 0, 3, 1, 2, 3)),
              "(0.5,-2.25,1e-05)\n(1.23457e+06,0,3)\n(1,2,3)\n");
    for (const char* form : {"(1,0,0)\n(0,1,0)\n(0,0,1)\n", "[1;0;0] {0/1/0}\n<0|0|1>"}) {
        SCOPED_TRACE(form);
        std::istringstream in(form);
        Matrix3 m = Sample;
        in >> m;
        EXPECT_FALSE(in.fail());
        expectMatrix(m, Matrix3());
    }
    std::istringstream trailing("(1,2,3)(4,5,6)(7,8,9)x");
    Matrix3 m;
    m.read(trailing);
    expectMatrix(m, Matrix3(1, 2, 3, 4, 5, 6, 7, 8, 9));
    EXPECT_EQ(rest(trailing), "x");

    // Entries that were not read keep their values; the failure stays set.
    const Matrix3 nines(9, 9, 9, 9, 9, 9, 9, 9, 9);
    struct Case {
        const char* text;
        Matrix3 expected;
    };
    for (const Case& c :
         {Case{"", nines}, Case{"(1,2,3)\n(4,5", Matrix3(1, 2, 3, 4, 5, 9, 9, 9, 9)},
          Case{"(1,x,3)\n(4,5,6)\n(7,8,9)\n", Matrix3(1, 9, 9, 9, 9, 9, 9, 9, 9)},
          Case{"(1,0,0)\n(0,1,0)\n(0,0,1", Matrix3()}}) {
        SCOPED_TRACE(c.text);
        std::istringstream in(c.text);
        Matrix3 read = nines;
        in >> read;
        EXPECT_TRUE(in.fail());
        expectMatrix(read, c.expected);
    }
}

}  // namespace
