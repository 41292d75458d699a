#include "geometry/vector3.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iomanip>
#include <iterator>
#include <limits>
#include <sstream>
#include <string>
#include <utility>

#include "invalid_vector.h"

namespace {

std::string text(const Vector3& v) {
    std::ostringstream out;
    out << v;
    return out.str();
}

std::string rest(std::istream& in) {
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(Vector3Test, DefaultValueAndLength) {
    const Vector3 zero;
    EXPECT_TRUE(vectorIs(zero, 0, 0, 0, Plain));
    EXPECT_TRUE(zero.isValid());
    EXPECT_TRUE(zero.isPlain());
    EXPECT_FALSE(zero.isUnit());
    EXPECT_EQ(zero.length(), 0.0);
    EXPECT_EQ(text(zero), "[0,0,0]");

    EXPECT_EQ(Vector3(3, 4, 0).length(), 5.0);
    EXPECT_EQ(Vector3(3, 4, 0).distanceTo(Vector3()), 5.0);
    EXPECT_EQ(Vector3(1, 2, 3).distanceTo(Vector3(4, 6, 3)), 5.0);
    EXPECT_EQ(text(Vector3(1, 2.5, -3)), "[1,2.5,-3]");
}

TEST(Vector3Test, ExactSummationOrders) {
    // (x + y) + z: the 1 is lost against 1e16 before the cancellation.
    EXPECT_EQ(dot(Vector3(1, 1e16, -1e16), Vector3(1, 1, 1)), 0.0);
    EXPECT_EQ(Vector3(1, 1e16, -1e16).dot(Vector3(1, 1, 1)), 0.0);
    EXPECT_EQ(Vector3(1e8, 1, 1).length(), 1e8);
}

TEST(Vector3Test, NormalizeMultipliesByReciprocal) {
    const Vector3 v(3, 0, 4);
    const Vector3 u = unit(v);
    // 3 * (1 / 5), not 3 / 5.
    EXPECT_EQ(u.getX(), 0.6000000000000001);
    EXPECT_TRUE(vectorIs(u, 0.6000000000000001, 0, 0.8, Unit));
    EXPECT_EQ(text(u), "<0.6,0,0.8>");
    EXPECT_TRUE(vectorIs(v, 3, 0, 4, Plain));  // unit() works on a copy

    Vector3 scaled = u * 2;
    EXPECT_TRUE(vectorIs(scaled, 1.2000000000000002, 0, 1.6, Unit));
    EXPECT_EQ(text(scaled), "<1.2,0,1.6>");
    EXPECT_EQ(scaled.length(), 1.0);
    EXPECT_TRUE(vectorIs(scaled.normalize(), 1.2000000000000002, 0, 1.6, Unit));
    EXPECT_TRUE(vectorIs(unit(scaled), 1.2000000000000002, 0, 1.6, Unit));

    EXPECT_TRUE(vectorIs(scaled.clearUnit(), 1.2000000000000002, 0, 1.6, Plain));
    EXPECT_TRUE(vectorIs(scaled.normalize(), 0.6000000000000001, 0, 0.8, Unit));
    EXPECT_TRUE(vectorIs(Vector3(1, 2, 3).clearUnit(), 1, 2, 3, Plain));
}

TEST(Vector3Test, ShortVectorsNormalizeToZeroUnit) {
    const Vector3 tiny = unit(Vector3(0.0005, 0, 0));
    EXPECT_TRUE(vectorIs(tiny, 0, 0, 0, Unit));
    EXPECT_EQ(tiny.length(), 1.0);
    EXPECT_EQ(text(tiny), "<0,0,0>");
    EXPECT_EQ(tiny.dot(Vector3(1, 2, 3)), 0.0);

    // The threshold itself is long enough.
    EXPECT_TRUE(vectorIs(unit(Vector3(0.001, 0, 0)), 1, 0, 0, Unit));
    EXPECT_TRUE(vectorIs(unit(Vector3(std::nextafter(0.001, 0.0), 0, 0)), 0, 0, 0, Unit));
    // Each component below the threshold, the length above it.
    const double third = 0.5773502691896257;
    EXPECT_TRUE(vectorIs(unit(Vector3(0.0006, 0.0006, 0.0006)), third, third, third, Unit));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_TRUE(vectorIs(unit(Vector3(nan, 1, 0)), 0, 0, 0, Unit));
}

TEST(Vector3Test, InvalidOperandsFallBackToZeroPlain) {
    const Vector3 bad = invalidVector();
    EXPECT_FALSE(bad.isValid());
    EXPECT_FALSE(bad.isPlain());
    EXPECT_FALSE(bad.isUnit());
    EXPECT_TRUE(vectorIs(bad, 0, 0, 0, Invalid));
    EXPECT_EQ(text(bad), "Invalid");

    const Vector3 stored = vectorOfKind(Invalid, "[1,2,3]");
    EXPECT_TRUE(vectorIs(stored, 1, 2, 3, Invalid));
    EXPECT_EQ(stored.length(), 0.0);
    EXPECT_TRUE(vectorIs(unit(stored), 1, 2, 3, Invalid));
    Vector3 same = stored;
    EXPECT_TRUE(vectorIs(same.normalize().clearUnit(), 1, 2, 3, Invalid));

    const Vector3 w(4, 5, 6);
    for (const auto& [a, b] : {std::pair{stored, w}, std::pair{w, stored}}) {
        Vector3 out = unit(Vector3(1, 1, 1));
        EXPECT_TRUE(vectorIs(add(a, b, out), 0, 0, 0, Plain));
        out = unit(Vector3(1, 1, 1));
        EXPECT_TRUE(vectorIs(subtract(a, b, out), 0, 0, 0, Plain));
        out = unit(Vector3(1, 1, 1));
        EXPECT_TRUE(vectorIs(cross(a, b, out), 0, 0, 0, Plain));
        EXPECT_EQ(text(a + b), "[0,0,0]");
        EXPECT_EQ(text(a - b), "[0,0,0]");
        EXPECT_EQ(text(a.cross(b)), "[0,0,0]");
        EXPECT_EQ(dot(a, b), 0.0);
        EXPECT_EQ(a.dot(b), 0.0);
        EXPECT_EQ(a.distanceTo(b), 0.0);
    }
    Vector3 out = unit(Vector3(1, 1, 1));
    EXPECT_TRUE(vectorIs(scale(stored, 2.0, out), 0, 0, 0, Plain));
    out = unit(Vector3(1, 1, 1));
    EXPECT_TRUE(vectorIs(negate(stored, out), 0, 0, 0, Plain));
    EXPECT_TRUE(vectorIs(stored * 2.0, 0, 0, 0, Plain));
}

TEST(Vector3Test, ArithmeticKinds) {
    const Vector3 ex = unit(Vector3(1, 0, 0));
    const Vector3 ey = unit(Vector3(0, 1, 0));
    EXPECT_TRUE(vectorIs(ex + ey, 1, 1, 0, Plain));
    EXPECT_TRUE(vectorIs(ex - ey, 1, -1, 0, Plain));
    EXPECT_TRUE(vectorIs(ex.cross(ey), 0, 0, 1, Plain));
    EXPECT_TRUE(vectorIs(Vector3(0, 1, 0).cross(Vector3(1, 0, 0)), 0, 0, -1, Plain));
    EXPECT_TRUE(vectorIs(Vector3(1, 2, 3).cross(Vector3(4, 5, 6)), -3, 6, -3, Plain));
    EXPECT_TRUE(vectorIs(Vector3(5, 7, 9) - Vector3(4, 5, 6), 1, 2, 3, Plain));

    const Vector3 parallel = Vector3(1, 2, 3).cross(Vector3(2, 4, 6));
    EXPECT_TRUE(vectorIs(parallel, 0, 0, 0, Plain));
    EXPECT_TRUE(vectorIs(unit(parallel), 0, 0, 0, Unit));

    Vector3 out;
    EXPECT_TRUE(vectorIs(negate(ex, out), -1, 0, 0, Unit));
    EXPECT_TRUE(vectorIs(negate(Vector3(1, -2, 0), out), -1, 2, 0, Plain));
    EXPECT_TRUE(vectorIs(scale(ey, -3.0, out), 0, -3, 0, Unit));
    EXPECT_TRUE(vectorIs(ey * 0.0, 0, 0, 0, Unit));
    EXPECT_TRUE(vectorIs(Vector3(1, 2, 3) * 0.5, 0.5, 1, 1.5, Plain));
}

TEST(Vector3Test, ResultMayAliasAnOperand) {
    const Vector3 a(1, 2, 3);
    const Vector3 b(-4, 0.5, 7);
    const Vector3 expected = a.cross(b);
    Vector3 first = a;
    cross(first, b, first);
    EXPECT_TRUE(vectorIs(first, expected.getX(), expected.getY(), expected.getZ(), Plain));
    Vector3 second = b;
    cross(a, second, second);
    EXPECT_TRUE(vectorIs(second, expected.getX(), expected.getY(), expected.getZ(), Plain));
    Vector3 both = a;
    EXPECT_TRUE(vectorIs(cross(both, both, both), 0, 0, 0, Plain));

    Vector3 sum = a;
    EXPECT_TRUE(vectorIs(add(sum, b, sum), -3, 2.5, 10, Plain));
    EXPECT_TRUE(vectorIs(subtract(sum, b, sum), 1, 2, 3, Plain));
    EXPECT_TRUE(vectorIs(negate(sum, sum), -1, -2, -3, Plain));
    EXPECT_TRUE(vectorIs(scale(sum, -2.0, sum), 2, 4, 6, Plain));
}

TEST(Vector3Test, TextOutputFollowsStreamSettings) {
    EXPECT_EQ(text(Vector3(1234567, 0.0001, 0.00001)), "[1.23457e+06,0.0001,1e-05]");
    std::ostringstream out;
    out << std::fixed << std::setprecision(2) << Vector3(1, 2.5, -3) << unit(Vector3(0, 0, 3));
    EXPECT_EQ(out.str(), "[1.00,2.50,-3.00]<0.00,0.00,1.00>");
    std::ostringstream viaPrint;
    Vector3(1, 2, 3).print(viaPrint) << "|";
    EXPECT_EQ(viaPrint.str(), "[1,2,3]|");
}

TEST(Vector3Test, ReadingKeepsKindAndStopsAfterClosingCharacter) {
    std::istringstream in("[1,2,3]X");
    Vector3 v;
    in >> v;
    EXPECT_TRUE(vectorIs(v, 1, 2, 3, Plain));
    EXPECT_FALSE(in.fail());
    EXPECT_EQ(rest(in), "X");

    EXPECT_TRUE(vectorIs(vectorOfKind(Plain, "<0,0,1>"), 0, 0, 1, Plain));
    EXPECT_TRUE(vectorIs(vectorOfKind(Unit, "[1,2,3]"), 1, 2, 3, Unit));
    EXPECT_TRUE(vectorIs(vectorOfKind(Plain, " ( 1 ; -2.5 ;\n3e2 ) "), 1, -2.5, 300, Plain));

    std::istringstream two("<1,2,3>[4,5,6]");
    Vector3 a;
    Vector3 b;
    a.read(two) >> b;
    EXPECT_TRUE(vectorIs(a, 1, 2, 3, Plain));
    EXPECT_TRUE(vectorIs(b, 4, 5, 6, Plain));
}

TEST(Vector3Test, MalformedInputKeepsUnreadComponents) {
    struct Case {
        const char* text;
        double x, y, z;
    };
    for (const Case& c :
         {Case{"", 7, 8, 9}, Case{"[1,2", 1, 2, 9}, Case{"[a,b,c]", 7, 8, 9},
          Case{"Invalid", 7, 8, 9}, Case{"[1,x,3]", 1, 8, 9}, Case{"[1,2,3", 1, 2, 3}}) {
        SCOPED_TRACE(c.text);
        std::istringstream in(c.text);
        Vector3 v(7, 8, 9);
        in >> v;
        EXPECT_TRUE(in.fail());
        EXPECT_TRUE(vectorIs(v, c.x, c.y, c.z, Plain));
    }
    std::istringstream in("[1,oops]");
    Vector3 u = unit(Vector3(0, 0, 5));
    in >> u;
    EXPECT_TRUE(in.fail());
    EXPECT_TRUE(vectorIs(u, 1, 0, 1, Unit));
}

}  // namespace
