#include "geometry/matrix3.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <string>

#include "invalid_vector.h"

namespace {

constexpr double Tol = 1e-15;

void expectMatrixNear(const Matrix3& actual, const Matrix3& expected, double tol = 0.0) {
    for (int n = 0; n < 9; ++n) {
        if (tol == 0.0) {
            EXPECT_EQ(actual.entry(n), expected.entry(n)) << "entry " << n;
        } else {
            EXPECT_NEAR(actual.entry(n), expected.entry(n), tol) << "entry " << n;
        }
    }
}

Matrix3 diagonal(double a, double b, double c) {
    return Matrix3(a, 0, 0, 0, b, 0, 0, 0, c);
}

Matrix3 sample() {
    return Matrix3(2, -1, 0, 1, 3, 2, 0, 1, 4);
}

TEST(Matrix3Test, SingleAxisRotationsAreRightHanded) {
    const double t = 0.3;
    EXPECT_TRUE(vectorIs(Matrix3(0, t, 0) * Vector3(1, 0, 0), std::cos(t), 0, -std::sin(t), Plain));
    EXPECT_TRUE(vectorIs(Matrix3(t, 0, 0) * Vector3(0, 1, 0), 0, std::cos(t), std::sin(t), Plain));
    EXPECT_TRUE(vectorIs(Matrix3(0, 0, t) * Vector3(1, 0, 0), std::cos(t), std::sin(t), 0, Plain));
    EXPECT_TRUE(vectorIs(Matrix3(0, std::acos(0.0), 0) * Vector3(1, 0, 0), 0, 0, -1, Plain, Tol));

    // Ten degrees about y, converted with pi = 3.14159265358.
    const Matrix3 orbit(0, 0.17453292519888888, 0);
    EXPECT_EQ(orbit.get(0, 0), 0.9848077530123025);
    EXPECT_EQ(orbit.get(2, 2), 0.9848077530123025);
    EXPECT_EQ(orbit.get(0, 2), 0.17364817766639454);
    EXPECT_EQ(orbit.get(2, 0), -0.17364817766639454);
    EXPECT_EQ(orbit.get(1, 1), 1.0);
    EXPECT_EQ(orbit.get(0, 1), 0.0);
    EXPECT_EQ(orbit.get(1, 2), 0.0);
    EXPECT_TRUE(vectorIs(orbit * Vector3(0, 0, 5), 5 * 0.17364817766639454, 0,
                         5 * 0.9848077530123025, Plain));
}

TEST(Matrix3Test, ThreeAngleRotationIsProductOfAxisRotations) {
    const double p = 0.3;
    const double q = -1.1;
    const double r = 2.4;
    const Matrix3 product = Matrix3(p, 0, 0) * Matrix3(0, q, 0) * Matrix3(0, 0, r);
    expectMatrixNear(Matrix3(p, q, r), product, Tol);
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

    // About a coordinate axis it agrees with the three-angle form.
    const double rad = 30 * AxisPi / 180.0;
    expectMatrixNear(Matrix3(unit(Vector3(1, 0, 0)), 30), Matrix3(rad, 0, 0), Tol);
    expectMatrixNear(Matrix3(unit(Vector3(0, 1, 0)), 30), Matrix3(0, rad, 0), Tol);
    expectMatrixNear(Matrix3(unit(Vector3(0, 0, 1)), 30), Matrix3(0, 0, rad), Tol);

    // About a general unit axis: the axis stays put and the matrix is orthogonal.
    const Vector3 axis = unit(Vector3(1, 2, 3));
    Matrix3 m(axis, 40);
    EXPECT_TRUE(vectorIs(m * axis, axis.getX(), axis.getY(), axis.getZ(), Plain, Tol));
    EXPECT_NEAR(m.determinant(), 1.0, 1e-14);
    Matrix3 mt = m;
    mt.transpose();
    expectMatrixNear(m * mt, Matrix3(), 1e-14);
}

TEST(Matrix3Test, ApplyIgnoresKinds) {
    const Matrix3 m(1, 2, 3, 4, 5, 6, 7, 8, 10);
    EXPECT_TRUE(vectorIs(m * unit(Vector3(0, 0, 2)), 3, 6, 10, Plain));
    EXPECT_TRUE(vectorIs(m * vectorOfKind(Invalid, "[1,2,3]"), 14, 32, 53, Plain));
    EXPECT_TRUE(vectorIs(m * invalidVector(), 0, 0, 0, Plain));
    Vector3 out = unit(Vector3(1, 1, 0));
    EXPECT_TRUE(vectorIs(apply(m, Vector3(1, 0, -1), out), -2, -2, -3, Plain));
    // Summed left to right: (x m00 + y m01) + z m02.
    const Matrix3 ones(1, 1, 1, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ((ones * Vector3(1, 1e16, -1e16)).getX(), 0.0);
}

TEST(Matrix3Test, DeterminantAndInverse) {
    const Matrix3 m = sample();
    EXPECT_EQ(m.determinant(), 24.0);
    EXPECT_EQ(Matrix3(1, 2, 3, 4, 5, 6, 7, 8, 10).determinant(), -3.0);
    Matrix3 inv(5, 5, 5, 5, 5, 5, 5, 5, 5);
    inverse(m, inv);
    // The adjugate is multiplied by 1 / 24, not divided by 24.
    EXPECT_EQ(inv.get(0, 0), 0.41666666666666663);
    expectMatrixNear(m * inv, Matrix3(), Tol);
    expectMatrixNear(inv * m, Matrix3(), Tol);
    Matrix3 self = m;
    expectMatrixNear(inverse(self, self), inv);

    expectMatrixNear(inverse(diagonal(2, 2, 2), inv), diagonal(0.5, 0.5, 0.5));
    // A determinant of exactly the tolerance is still inverted.
    expectMatrixNear(inverse(diagonal(1, 1, 0.001), inv), diagonal(1, 1, 1000));

    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const Matrix3& singular :
         {diagonal(0, 0, 0), diagonal(0.05, 0.05, 0.05), diagonal(1, 1, std::nextafter(0.001, 0.0)),
          Matrix3(1, 2, 3, 2, 4, 6, 0, 1, 1), diagonal(nan, 1, 1)}) {
        Matrix3 out = sample();
        expectMatrixNear(inverse(singular, out), Matrix3());
    }

    const Matrix3 rotation(0.4, -0.9, 1.3);
    Matrix3 transposed = rotation;
    transposed.transpose();
    expectMatrixNear(inverse(rotation, inv), transposed, Tol);
}

TEST(Matrix3Test, TransposeAndProducts) {
    Matrix3 m = sample();
    EXPECT_EQ(&m.transpose(), &m);
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            EXPECT_EQ(m.get(i, j), sample().get(j, i));
        }
    }
    const Matrix3 rotation(0.4, -0.9, 1.3);
    Matrix3 twice = rotation;
    twice.transpose().transpose();
    expectMatrixNear(twice, rotation);

    const Matrix3 a = sample();
    const Matrix3 b(1, 2, 3, 4, 5, 6, 7, 8, 10);
    expectMatrixNear(a * b, Matrix3(-2, -1, 0, 27, 33, 41, 32, 37, 46));
    expectMatrixNear(b * a, Matrix3(4, 8, 16, 13, 17, 34, 22, 27, 56));
    Matrix3 first = a;
    expectMatrixNear(multiply(first, b, first), a * b);
    Matrix3 second = b;
    expectMatrixNear(multiply(a, second, second), a * b);
    Matrix3 square = a;
    expectMatrixNear(multiply(square, square, square), a * a);

    Matrix3 out;
    expectMatrixNear(add(a, b, out), Matrix3(3, 1, 3, 5, 8, 8, 7, 9, 14));
    expectMatrixNear(subtract(out, b, out), a);
    Matrix3 scaled = a;
    // The factor is read before its entry is overwritten.
    expectMatrixNear(scale(scaled, scaled.entry(0), scaled), Matrix3(4, -2, 0, 2, 6, 4, 0, 2, 8));
}

TEST(Matrix3Test, TextRoundTripsAndMalformedInput) {
    std::ostringstream out;
    out << Matrix3();
    EXPECT_EQ(out.str(), "(1,0,0)\n(0,1,0)\n(0,0,1)\n");
    std::ostringstream viaPrint;
    Matrix3(0.5, -2.25, 1e-05, 1234567, 0, 3, 1, 2, 3).print(viaPrint);
    EXPECT_EQ(viaPrint.str(), "(0.5,-2.25,1e-05)\n(1.23457e+06,0,3)\n(1,2,3)\n");

    for (const char* text : {"(1,0,0)\n(0,1,0)\n(0,0,1)\n", "[1;0;0] {0/1/0}\n<0|0|1>"}) {
        SCOPED_TRACE(text);
        std::istringstream in(text);
        Matrix3 m = sample();
        in >> m;
        EXPECT_FALSE(in.fail());
        expectMatrixNear(m, Matrix3());
    }
    std::istringstream trailing("(1,2,3)(4,5,6)(7,8,9)x");
    Matrix3 m;
    m.read(trailing);
    expectMatrixNear(m, Matrix3(1, 2, 3, 4, 5, 6, 7, 8, 9));
    EXPECT_EQ(trailing.get(), 'x');

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
        expectMatrixNear(read, c.expected);
    }
}

}  // namespace
