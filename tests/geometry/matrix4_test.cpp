#include "geometry/matrix4.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

// Entries 0..15 in row-major order.
const Matrix4 Counting(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
const Matrix4 Mixed(0.1, -2.5, 3, 1e-3, 7, 0.3, -1, 2, 1.5, 4, -0.7, 9, -3, 0.25, 6, 1.1);

void expectSame(const Matrix4& actual, const Matrix4& expected) {
    for (int n = 0; n < 16; ++n) {
        EXPECT_EQ(actual.entry(n), expected.entry(n)) << "entry " << n;
    }
}

void expectPoint(const HPoint& p, double c0, double c1, double c2, double c3, int valid) {
    EXPECT_TRUE(p.c[0] == c0 && p.c[1] == c1 && p.c[2] == c2 && p.c[3] == c3)
        << p.c[0] << ", " << p.c[1] << ", " << p.c[2] << ", " << p.c[3];
    EXPECT_EQ(p.valid, valid);
}

TEST(Matrix4Test, IdentityAndIndexing) {
    for (int n = 0; n < 16; ++n) {
        EXPECT_EQ(Matrix4().entry(n), n % 5 == 0 ? 1.0 : 0.0) << "entry " << n;
    }
    EXPECT_EQ(Counting.get(2, 3), 11.0);
    EXPECT_EQ(Counting.get(3, 2), 14.0);
    EXPECT_EQ(Counting.get(1, 0), 4.0);  // the fifth argument
    expectSame(Matrix4() * Mixed, Mixed);
    expectSame(Mixed * Matrix4(), Mixed);
}

TEST(Matrix4Test, ProductOrderAndSummation) {
    const Matrix4 a(1, 2, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    const Matrix4 b(1, 0, 0, 0, 2, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    expectSame(a * b, Matrix4(5, 2, 0, 0, 2, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1));
    expectSame(b * a, Matrix4(1, 2, 0, 0, 2, 5, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1));

    // Counting times its transpose: entry (i, j) is row i dot row j.
    const Matrix4 transposed(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15);
    const Matrix4 gram = Counting * transposed;
    EXPECT_EQ(gram.get(2, 3), 518.0);
    EXPECT_EQ(gram.get(3, 3), 734.0);

    // Each entry is summed over k left to right: the 1 is lost against 1e16.
    const Matrix4 cancel(1, 1e16, -1e16, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    const Matrix4 ones(1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0);
    EXPECT_EQ((cancel * ones).get(0, 0), 1.0);
}

TEST(Matrix4Test, ResultMayAliasAnOperand) {
    Matrix4 expected;
    multiply(Mixed, Counting, expected);
    Matrix4 s = Mixed;
    s = s * Counting;
    expectSame(s, expected);
    Matrix4 first = Mixed;
    expectSame(multiply(first, Counting, first), expected);
    Matrix4 second = Counting;
    expectSame(multiply(Mixed, second, second), expected);
    Matrix4 square = Mixed;
    expectSame(multiply(square, square, square), Mixed * Mixed);

    // add and subtract write every entry; the scale factor may be an entry of out.
    const Matrix4 nines(9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9);
    const Matrix4 plusOne(1, 1, 2, 3, 4, 6, 6, 7, 8, 9, 11, 11, 12, 13, 14, 16);
    Matrix4 out = nines;
    expectSame(add(Counting, Matrix4(), out), plusOne);
    out = nines;
    expectSame(subtract(plusOne, Matrix4(), out), Counting);
    Matrix4 doubled = Counting;
    doubled.entry(0) = 2.0;
    scale(doubled, doubled.entry(0), doubled);
    EXPECT_EQ(doubled.entry(0), 4.0);
    EXPECT_EQ(doubled.entry(15), 30.0);
}

TEST(HPointTest, OperationsFlagsAndFallbacks) {
    expectPoint(HPoint(), 0, 0, 0, 0, 1);
    EXPECT_EQ(dot(HPoint(1, 2, 3, 4), HPoint(1, 1, 1, 1)), 10.0);
    EXPECT_EQ(HPoint(1, 2, 3, 4).dot(HPoint(1, 1, 1, 1)), 10.0);
    // Power basis row against coefficients: 2 + 3u + 4u^2 + 5u^3.
    const double u = 0.5;
    EXPECT_EQ(dot(HPoint(1, u, u * u, u * u * u), HPoint(2, 3, 4, 5)), 5.125);
    // Summed left to right: ((1 + 1e16) - 1e16) + 1.
    EXPECT_EQ(dot(HPoint(1, 1e16, -1e16, 1), HPoint(1, 1, 1, 1)), 1.0);

    const HPoint a(1, 2, 3, 4);
    const HPoint b(0.5, -1, 2, 8);
    HPoint out;
    expectPoint(add(a, b, out), 1.5, 1, 5, 12, 1);
    expectPoint(subtract(a, b, out), 0.5, 3, 1, -4, 1);
    expectPoint(scale(a, 0.0, out), 0, 0, 0, 0, 1);
    HPoint alias = a;
    expectPoint(scale(alias, alias.c[1], alias), 2, 4, 6, 8, 1);

    // negate and scale copy the flag value; add and subtract store 1.
    HPoint flagged(1, 2, 3, 4);
    flagged.valid = 7;
    expectPoint(negate(flagged, out), -1, -2, -3, -4, 7);
    expectPoint(scale(flagged, 2.0, out), 2, 4, 6, 8, 7);
    expectPoint(add(flagged, flagged, out), 2, 4, 6, 8, 1);
    expectPoint(subtract(flagged, b, out), 0.5, 3, 1, -4, 1);

    // An invalid operand, in either position, gives the valid zero point.
    HPoint bad(1, 2, 3, 4);
    bad.valid = 0;
    EXPECT_FALSE(bad.isValid());
    for (const auto& [p, q] : {std::pair{bad, a}, std::pair{a, bad}}) {
        HPoint sum(9, 9, 9, 9);
        HPoint difference(9, 9, 9, 9);
        expectPoint(add(p, q, sum), 0, 0, 0, 0, 1);
        expectPoint(subtract(p, q, difference), 0, 0, 0, 0, 1);
        EXPECT_EQ(dot(p, q), 0.0);
        EXPECT_EQ(p.dot(q), 0.0);
    }
    out = a;
    expectPoint(negate(bad, out), 0, 0, 0, 0, 1);
    out = a;
    expectPoint(scale(bad, 2.0, out), 0, 0, 0, 0, 1);
}

}  // namespace
