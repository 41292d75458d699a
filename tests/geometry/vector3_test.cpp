#include "geometry/vector3.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iomanip>
#include <limits>
#include <sstream>
#include <utility>

#include "invalid_vector.h"

namespace {

TEST(Vector3Test, DefaultValueLengthAndSummationOrder) {
    const Vector3 zero;
    EXPECT_TRUE(vectorIs(zero, 0, 0, 0, Plain));
    EXPECT_TRUE(zero.isValid() && zero.isPlain() && !zero.isUnit());
    EXPECT_EQ(zero.length(), 0.0);
    EXPECT_EQ(Vector3(3, 4, 0).length(), 5.0);
    EXPECT_EQ(Vector3(3, 4, 0).distanceTo(Vector3()), 5.0);
    // Summed as (x + y) + z: the 1 is lost against 1e16 before the cancellation.
    EXPECT_EQ(dot(Vector3(1, 1e16, -1e16), Vector3(1, 1, 1)), 0.0);
    EXPECT_EQ(Vector3(1, 1e16, -1e16).dot(Vector3(1, 1, 1)), 0.0);
    EXPECT_EQ(Vector3(1e8, 1, 1).length(), 1e8);
}

TEST(Vector3Test, UnitKindUnderNormalizeScaleAndClear) {
    const Vector3 v(3, 0, 4);
    const Vector3 u = unit(v);
    // 3 * (1 / 5): multiplying by the reciprocal fixes the last bit.
    EXPECT_TRUE(vectorIs(u, 0.6000000000000001, 0, 0.8, Unit));
    EXPECT_TRUE(vectorIs(v, 3, 0, 4, Plain));

    Vector3 scaled = u * 2;
    EXPECT_TRUE(vectorIs(scaled, 1.2000000000000002, 0, 1.6, Unit));
    EXPECT_EQ(scaled.length(), 1.0);
    // A Unit vector is not normalised again.
    EXPECT_TRUE(vectorIs(scaled.normalize(), 1.2000000000000002, 0, 1.6, Unit));
    EXPECT_TRUE(vectorIs(scaled.clearUnit(), 1.2000000000000002, 0, 1.6, Plain));
    EXPECT_TRUE(vectorIs(scaled.normalize(), 0.6000000000000001, 0, 0.8, Unit));

    // Too short (or not a number) gives the zero Unit vector; 0.001 itself is long enough.
    const Vector3 tiny = unit(Vector3(0.0005, 0, 0));
    EXPECT_TRUE(vectorIs(tiny, 0, 0, 0, Unit));
    EXPECT_EQ(tiny.length(), 1.0);
    EXPECT_EQ(tiny.dot(Vector3(1, 2, 3)), 0.0);
    EXPECT_TRUE(vectorIs(unit(Vector3(0.001, 0, 0)), 1, 0, 0, Unit));
    EXPECT_TRUE(vectorIs(unit(Vector3(std::nextafter(0.001, 0.0), 0, 0)), 0, 0, 0, Unit));
    const double third = 0.5773502691896257;
    EXPECT_TRUE(vectorIs(unit(Vector3(0.0006, 0.0006, 0.0006)), third, third, third, Unit));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_TRUE(vectorIs(unit(Vector3(nan, 1, 0)), 0, 0, 0, Unit));
}

TEST(Vector3Test, InvalidOperandsFallBackToZeroPlain) {
    EXPECT_TRUE(vectorIs(invalidVector(), 0, 0, 0, Invalid));
    const Vector3 bad = vectorOfKind(Invalid, "[1,2,3]");
    EXPECT_FALSE(bad.isValid() || bad.isPlain() || bad.isUnit());
    EXPECT_EQ(bad.length(), 0.0);
    EXPECT_TRUE(vectorIs(unit(bad), 1, 2, 3, Invalid));
    Vector3 same = bad;
    EXPECT_TRUE(vectorIs(same.normalize().clearUnit(), 1, 2, 3, Invalid));

    const Vector3 w(4, 5, 6);
    for (const auto& [a, b] : {std::pair{bad, w}, std::pair{w, bad}}) {
        Vector3 sum = unit(w);
        Vector3 difference = unit(w);
        Vector3 product = unit(w);
        EXPECT_TRUE(vectorIs(add(a, b, sum), 0, 0, 0, Plain));
        EXPECT_TRUE(vectorIs(subtract(a, b, difference), 0, 0, 0, Plain));
        EXPECT_TRUE(vectorIs(cross(a, b, product), 0, 0, 0, Plain));
        EXPECT_TRUE(vectorIs(a.cross(b), 0, 0, 0, Plain));
        EXPECT_EQ(dot(a, b), 0.0);
        EXPECT_EQ(a.distanceTo(b), 0.0);
    }
    Vector3 out = unit(w);
    EXPECT_TRUE(vectorIs(negate(bad, out), 0, 0, 0, Plain));
    EXPECT_TRUE(vectorIs(bad * 2.0, 0, 0, 0, Plain));
    EXPECT_EQ(text(bad + w), "[0,0,0]");
}

TEST(Vector3Test, ArithmeticKindsAndAliasing) {
    const Vector3 ex = unit(Vector3(1, 0, 0));
    const Vector3 ey = unit(Vector3(0, 1, 0));
    EXPECT_TRUE(vectorIs(ex + ey, 1, 1, 0, Plain));
    EXPECT_TRUE(vectorIs(ex - ey, 1, -1, 0, Plain));
    EXPECT_TRUE(vectorIs(ex.cross(ey), 0, 0, 1, Plain));
    EXPECT_TRUE(vectorIs(Vector3(0, 1, 0).cross(Vector3(1, 0, 0)), 0, 0, -1, Plain));
    EXPECT_TRUE(vectorIs(unit(Vector3(1, 2, 3).cross(Vector3(2, 4, 6))), 0, 0, 0, Unit));
    Vector3 out;
    EXPECT_TRUE(vectorIs(negate(ex, out), -1, 0, 0, Unit));
    EXPECT_TRUE(vectorIs(negate(Vector3(1, -2, 0), out), -1, 2, 0, Plain));
    EXPECT_TRUE(vectorIs(ey * -3.0, 0, -3, 0, Unit));

    // The result object may be an operand, also for the cross product.
    const Vector3 a(1, 2, 3);
    const Vector3 b(-4, 0.5, 7);
    EXPECT_TRUE(vectorIs(a.cross(b), 12.5, -19, 8.5, Plain));
    Vector3 first = a;
    EXPECT_TRUE(vectorIs(cross(first, b, first), 12.5, -19, 8.5, Plain));
    Vector3 second = b;
    EXPECT_TRUE(vectorIs(cross(a, second, second), 12.5, -19, 8.5, Plain));
    Vector3 sum = a;
    EXPECT_TRUE(vectorIs(add(sum, b, sum), -3, 2.5, 10, Plain));
    EXPECT_TRUE(vectorIs(scale(subtract(sum, b, sum), -2.0, sum), -2, -4, -6, Plain));
}

TEST(Vector3Test, TextOutputForms) {
    EXPECT_EQ(text(Vector3()), "[0,0,0]");
    EXPECT_EQ(text(Vector3(1, 2.5, -3)), "[1,2.5,-3]");
    EXPECT_EQ(text(unit(Vector3(3, 0, 4))), "<0.6,0,0.8>");
    EXPECT_EQ(text(unit(Vector3(0.0005, 0, 0))), "<0,0,0>");
    EXPECT_EQ(text(invalidVector()), "Invalid");
    EXPECT_EQ(text(Vector3(1234567, 0.0001, 0.00001)), "[1.23457e+06,0.0001,1e-05]");
    std::ostringstream fixed;
    fixed << std::fixed << std::setprecision(2) << Vector3(1, 2.5, -3);
    EXPECT_EQ(fixed.str(), "[1.00,2.50,-3.00]");
}

TEST(Vector3Test, TextInputKeepsKindAndUnreadComponents) {
    std::istringstream in("[1,2,3]X");
    Vector3 v;
    in >> v;
    EXPECT_TRUE(vectorIs(v, 1, 2, 3, Plain));
    EXPECT_FALSE(in.fail());
    EXPECT_EQ(rest(in), "X");
    EXPECT_TRUE(vectorIs(vectorOfKind(Plain, "<0,0,1>"), 0, 0, 1, Plain));
    EXPECT_TRUE(vectorIs(vectorOfKind(Unit, "[1,2,3]"), 1, 2, 3, Unit));
    EXPECT_TRUE(vectorIs(vectorOfKind(Plain, " ( 1 ; -2.5 ;\n3e2 ) "), 1, -2.5, 300, Plain));

    // Malformed text: what was not read keeps its value, the failure stays set.
    struct Case {
        const char* text;
        double x, y, z;
    };
    for (const Case& c :
         {Case{"", 7, 8, 9}, Case{"[1,2", 1, 2, 9}, Case{"[a,b,c]", 7, 8, 9},
          Case{"Invalid", 7, 8, 9}, Case{"[1,x,3]", 1, 8, 9}, Case{"[1,2,3", 1, 2, 3}}) {
        SCOPED_TRACE(c.text);
        std::istringstream malformed(c.text);
        Vector3 kept(7, 8, 9);
        malformed >> kept;
        EXPECT_TRUE(malformed.fail());
        EXPECT_TRUE(vectorIs(kept, c.x, c.y, c.z, Plain));
    }
}

}  // namespace
