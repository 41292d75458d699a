#include "geometry/matrix4.h"

#include <gtest/gtest.h>

namespace {

// Entries 0..15 in row-major order.
Matrix4 counting() {
    return Matrix4(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
}

Matrix4 mixed() {
    return Matrix4(0.1, -2.5, 3, 1e-3, 7, 0.3, -1, 2, 1.5, 4, -0.7, 9, -3, 0.25, 6, 1.1);
}

void expectMatrixEq(const Matrix4& actual, const Matrix4& expected) {
    for (int n = 0; n < 16; ++n) {
        EXPECT_EQ(actual.entry(n), expected.entry(n)) << "entry " << n;
    }
}

void expectPoint(const HPoint& p, double c0, double c1, double c2, double c3, int valid) {
    EXPECT_EQ(p.c[0], c0);
    EXPECT_EQ(p.c[1], c1);
    EXPECT_EQ(p.c[2], c2);
    EXPECT_EQ(p.c[3], c3);
    EXPECT_EQ(p.valid, valid);
}

TEST(Matrix4Test, IdentityAndIndexing) {
    const Matrix4 identity;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            EXPECT_EQ(identity.get(i, j), i == j ? 1.0 : 0.0);
        }
    }
    const Matrix4 m = counting();
    EXPECT_EQ(m.get(2, 3), 11.0);
    EXPECT_EQ(m.get(3, 2), 14.0);
    EXPECT_EQ(m.get(1, 0), 4.0);  // the fifth argument
    EXPECT_EQ(m.get(0, 3), 3.0);

    expectMatrixEq(identity * mixed(), mixed());
    expectMatrixEq(mixed() * identity, mixed());
}

TEST(Matrix4Test, ProductKeepsOperandOrder) {
    const Matrix4 a(1, 2, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    const Matrix4 b(1, 0, 0, 0, 2, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    const Matrix4 ab = a * b;
    const Matrix4 ba = b * a;
    EXPECT_EQ(ab.get(0, 0), 5.0);
    EXPECT_EQ(ab.get(0, 1), 2.0);
    EXPECT_EQ(ba.get(0, 0), 1.0);
    EXPECT_EQ(ba.get(0, 1), 2.0);
    EXPECT_EQ(ba.get(1, 0), 2.0);
    EXPECT_EQ(ba.get(1, 1), 5.0);

    // Row i of counting() times row j of it.
    const Matrix4 m = counting();
    const Matrix4 mt(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15);
    const Matrix4 gram = m * mt;
    EXPECT_EQ(gram.get(0, 0), 14.0);
    EXPECT_EQ(gram.get(0, 1), 38.0);
    EXPECT_EQ(gram.get(1, 0), 38.0);
    EXPECT_EQ(gram.get(2, 3), 518.0);
    EXPECT_EQ(gram.get(3, 3), 734.0);

    // Each entry is summed over k left to right: the 1 is lost against 1e16.
    const Matrix4 cancel(1, 1e16, -1e16, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    const Matrix4 ones(1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0);
    EXPECT_EQ((cancel * ones).get(0, 0), 1.0);
}

TEST(Matrix4Test, ProductIntoAnOperand) {
    const Matrix4 a = mixed();
    const Matrix4 b = counting();
    Matrix4 expected;
    multiply(a, b, expected);

    Matrix4 s = a;
    s = s * b;
    expectMatrixEq(s, expected);
    Matrix4 first = a;
    expectMatrixEq(multiply(first, b, first), expected);
    Matrix4 second = b;
    expectMatrixEq(multiply(a, second, second), expected);
    Matrix4 square = a;
    expectMatrixEq(multiply(square, square, square), a * a);
}

TEST(Matrix4Test, EntrywiseOperations) {
    const Matrix4 a = counting();
    const Matrix4 b = mixed();
    const Matrix4 filled(99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99);
    Matrix4 sum = filled;
    Matrix4 difference = filled;
    add(a, b, sum);
    subtract(a, b, difference);
    for (int n = 0; n < 16; ++n) {
        EXPECT_EQ(sum.entry(n), a.entry(n) + b.entry(n)) << "entry " << n;
        EXPECT_EQ(difference.entry(n), a.entry(n) - b.entry(n)) << "entry " << n;
    }
    Matrix4 zero;
    subtract(b, b, zero);
    expectMatrixEq(zero, Matrix4(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0));
    Matrix4 alias = a;
    expectMatrixEq(add(alias, b, alias), sum);

    // The factor is an entry of the result: it is read once, before writing.
    Matrix4 doubled = mixed();
    doubled.entry(0) = 2.0;
    scale(doubled, doubled.entry(0), doubled);
    EXPECT_EQ(doubled.entry(0), 4.0);
    for (int n = 1; n < 16; ++n) {
        EXPECT_EQ(doubled.entry(n), 2.0 * b.entry(n)) << "entry " << n;
    }
}

TEST(HPointTest, ConstructionAndDotProduct) {
    expectPoint(HPoint(), 0, 0, 0, 0, 1);
    expectPoint(HPoint(1, 2, 3, 4), 1, 2, 3, 4, 1);
    EXPECT_TRUE(HPoint().isValid());

    const HPoint p(1, 2, 3, 4);
    EXPECT_EQ(dot(p, HPoint(1, 1, 1, 1)), 10.0);
    EXPECT_EQ(p.dot(HPoint(1, 1, 1, 1)), 10.0);
    // Power basis row against coefficients: 2 + 3u + 4u^2 + 5u^3.
    const double u = 0.5;
    EXPECT_EQ(dot(HPoint(1, u, u * u, u * u * u), HPoint(2, 3, 4, 5)), 5.125);
    // Summed left to right: ((1 + 1e16) - 1e16) + 1.
    EXPECT_EQ(dot(HPoint(1, 1e16, -1e16, 1), HPoint(1, 1, 1, 1)), 1.0);
}

TEST(HPointTest, ComponentwiseOperationsAndFlags) {
    const HPoint a(1, 2, 3, 4);
    const HPoint b(0.5, -1, 2, 8);
    HPoint out;
    expectPoint(add(a, b, out), 1.5, 1, 5, 12, 1);
    expectPoint(subtract(a, b, out), 0.5, 3, 1, -4, 1);
    expectPoint(negate(a, out), -1, -2, -3, -4, 1);
    expectPoint(scale(a, 0.5, out), 0.5, 1, 1.5, 2, 1);
    expectPoint(scale(a, 0.0, out), 0, 0, 0, 0, 1);

    HPoint alias = a;
    expectPoint(add(alias, b, alias), 1.5, 1, 5, 12, 1);
    expectPoint(scale(alias, alias.c[0], alias), 2.25, 1.5, 7.5, 18, 1);

    // negate and scale copy the flag value; add and subtract store 1.
    HPoint flagged(1, 2, 3, 4);
    flagged.valid = 7;
    expectPoint(negate(flagged, out), -1, -2, -3, -4, 7);
    expectPoint(scale(flagged, 2.0, out), 2, 4, 6, 8, 7);
    expectPoint(add(flagged, flagged, out), 2, 4, 6, 8, 1);
    expectPoint(subtract(flagged, b, out), 0.5, 3, 1, -4, 1);
}

TEST(HPointTest, InvalidOperandsGiveValidZero) {
    HPoint bad(1, 2, 3, 4);
    bad.valid = 0;
    EXPECT_FALSE(bad.isValid());
    const HPoint good(5, 6, 7, 8);
    for (int position = 0; position < 2; ++position) {
        const HPoint& a = position == 0 ? bad : good;
        const HPoint& b = position == 0 ? good : bad;
        HPoint out(9, 9, 9, 9);
        expectPoint(add(a, b, out), 0, 0, 0, 0, 1);
        out = HPoint(9, 9, 9, 9);
        expectPoint(subtract(a, b, out), 0, 0, 0, 0, 1);
        EXPECT_EQ(dot(a, b), 0.0);
        EXPECT_EQ(a.dot(b), 0.0);
    }
    HPoint out(9, 9, 9, 9);
    expectPoint(negate(bad, out), 0, 0, 0, 0, 1);
    out = HPoint(9, 9, 9, 9);
    expectPoint(scale(bad, 2.0, out), 0, 0, 0, 0, 1);
}

}  // namespace
