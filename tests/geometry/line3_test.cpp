#include "geometry/line3.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <sstream>
#include <string>

#include "invalid_vector.h"

namespace {

constexpr double Tol = 1e-12;

std::string text(const Line3& line) {
    std::ostringstream out;
    out << line;
    return out.str();
}

std::string rest(std::istream& in) {
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The x axis.
Line3 xAxis() {
    return Line3(Vector3(), unit(Vector3(1, 0, 0)));
}

TEST(Line3Test, Construction) {
    const Line3 none;
    EXPECT_FALSE(none.isValid());
    EXPECT_TRUE(vectorIs(none.point(), 0, 0, 0, Plain));
    EXPECT_TRUE(vectorIs(none.direction(), 0, 0, 0, Plain));

    const Line3 withDirection(Vector3(1, 2, 3), unit(Vector3(0, 0, 5)));
    EXPECT_TRUE(withDirection.isValid());
    EXPECT_TRUE(vectorIs(withDirection.point(), 1, 2, 3, Plain));
    EXPECT_TRUE(vectorIs(withDirection.direction(), 0, 0, 1, Unit));
    EXPECT_TRUE(vectorIs(Line3(Vector3(), Vector3(0, 0, 2)).direction(), 0, 0, 1, Unit));
    EXPECT_TRUE(vectorIs(Line3(Vector3(0, 0, 2), Vector3()).direction(), 0, 0, -1, Unit));
    // A Unit second argument is taken as it is, not normalised again.
    EXPECT_TRUE(vectorIs(Line3(Vector3(), unit(Vector3(1, 0, 0)) * 3).direction(), 3, 0, 0, Unit));
    // The base point keeps its kind.
    const Line3 unitBase(unit(Vector3(0, 2, 0)), Vector3(1, 1, 0));
    EXPECT_TRUE(vectorIs(unitBase.point(), 0, 1, 0, Unit));
    EXPECT_TRUE(vectorIs(unitBase.direction(), 1, 0, 0, Unit));

    // A second point too close gives the zero direction: a valid line that
    // behaves as its base point.
    const Line3 stub(Vector3(), Vector3(0, 0, 0.0005));
    EXPECT_TRUE(vectorIs(stub.direction(), 0, 0, 0, Unit));
    EXPECT_TRUE(stub.isValid());
    EXPECT_EQ(stub.distanceTo(Vector3(0, 3, 4)), 5.0);

    EXPECT_FALSE(Line3(invalidVector(), Vector3(1, 0, 0)).isValid());
    EXPECT_FALSE(Line3(invalidVector(), unit(Vector3(1, 0, 0))).isValid());
    const Line3 invalidSecond(Vector3(1, 1, 1), invalidVector());
    EXPECT_TRUE(invalidSecond.isValid());
    EXPECT_TRUE(vectorIs(invalidSecond.direction(), 0, 0, 0, Unit));
}

TEST(Line3Test, ClosestPointsOfSkewAndIntersectingLines) {
    const Line3 x = xAxis();
    const Line3 skew(Vector3(3, 0, 1), unit(Vector3(1, 1, 0)));
    Vector3 p;
    Vector3 q;
    EXPECT_EQ(x.closestPoints(skew, p, q), 1);
    EXPECT_TRUE(vectorIs(p, 3, 0, 0, Plain, Tol));
    EXPECT_TRUE(vectorIs(q, 3, 0, 1, Plain, Tol));
    EXPECT_EQ(skew.closestPoints(x, p, q), 1);
    EXPECT_TRUE(vectorIs(p, 3, 0, 1, Plain, Tol));
    EXPECT_TRUE(vectorIs(q, 3, 0, 0, Plain, Tol));
    EXPECT_NEAR(x.distanceTo(skew), 1.0, Tol);
    EXPECT_TRUE(vectorIs(Vector3(x, skew), 3, 0, 0.5, Plain, Tol));

    const Line3 crossing(Vector3(2, -1, 0), unit(Vector3(0, 1, 0)));
    EXPECT_EQ(x.closestPoints(crossing, p, q), 1);
    EXPECT_TRUE(vectorIs(p, 2, 0, 0, Plain));
    EXPECT_TRUE(vectorIs(q, 2, 0, 0, Plain));
    EXPECT_EQ(x.distanceTo(crossing), 0.0);
    EXPECT_TRUE(vectorIs(Vector3(x, crossing), 2, 0, 0, Plain));

    // In general the points lie on their lines and span the common
    // perpendicular.
    const Line3 a(Vector3(1, 2, 3), Vector3(2, 0, 3.5));
    const Line3 b(Vector3(-2, 0, 1), unit(Vector3(0.3, 1, -1)));
    EXPECT_EQ(a.closestPoints(b, p, q), 1);
    EXPECT_NEAR(a.distanceTo(p), 0.0, Tol);
    EXPECT_NEAR(b.distanceTo(q), 0.0, Tol);
    EXPECT_NEAR(dot(p - q, a.direction()), 0.0, Tol);
    EXPECT_NEAR(dot(p - q, b.direction()), 0.0, Tol);
    EXPECT_GT(p.distanceTo(q), 0.1);
    EXPECT_NEAR(a.distanceTo(b), p.distanceTo(q), Tol);
    // The outputs may be the same object.
    EXPECT_EQ(x.closestPoints(crossing, p, p), 1);
    EXPECT_TRUE(vectorIs(p, 2, 0, 0, Plain));
}

TEST(Line3Test, ParallelAndNearlyParallelLines) {
    const Line3 x = xAxis();
    const Line3 opposite(Vector3(5, 1, 0), unit(Vector3(-1, 0, 0)));
    Vector3 p;
    Vector3 q;
    EXPECT_EQ(x.closestPoints(opposite, p, q), 1);
    EXPECT_TRUE(vectorIs(p, 0, 0, 0, Plain));
    EXPECT_TRUE(vectorIs(q, 0, 1, 0, Plain));
    EXPECT_EQ(x.distanceTo(opposite), 1.0);
    EXPECT_TRUE(vectorIs(Vector3(x, opposite), 0, 0.5, 0, Plain));

    // Parallel lines take this line's base point, with its kind.
    const Line3 unitBase(unit(Vector3(0, 0, 4)), unit(Vector3(1, 0, 0)));
    EXPECT_EQ(unitBase.closestPoints(opposite, p, q), 1);
    EXPECT_TRUE(vectorIs(p, 0, 0, 1, Unit));
    EXPECT_TRUE(vectorIs(q, 0, 1, 0, Plain));

    // Directions (c, s, 0) against the x axis: 1 - c * c is 0.001000000000000112
    // for the first c and 0.0009999999999998899 for the next double up.
    const Line3 general(Vector3(0, 1, 0),
                        vectorOfKind(Unit, "[0.9994998749374608,0.031622776601683794,0]"));
    EXPECT_EQ(x.closestPoints(general, p, q), 1);
    EXPECT_NEAR(p.getX(), -31.6, 0.1);  // the crossing point of the two lines
    EXPECT_TRUE(vectorIs(p, p.getX(), 0, 0, Plain));
    EXPECT_TRUE(vectorIs(q, p.getX(), 0, 0, Plain, 1e-9));

    const Line3 nearly(Vector3(0, 1, 0),
                       vectorOfKind(Unit, "[0.999499874937461,0.031622776601683794,0]"));
    EXPECT_EQ(x.closestPoints(nearly, p, q), 1);
    EXPECT_TRUE(vectorIs(p, 0, 0, 0, Plain));
    EXPECT_TRUE(vectorIs(q, 0, 1, 0, Plain));

    // A scaled Unit direction makes 1 - d * d negative; its size still counts.
    const Line3 steep(Vector3(0, 1, 0), unit(Vector3(1, 1, 0)) * 2);
    EXPECT_EQ(x.closestPoints(steep, p, q), 1);
    EXPECT_TRUE(vectorIs(p, 2, 0, 0, Plain, Tol));
    EXPECT_TRUE(vectorIs(q, 2, 3, 0, Plain, Tol));
}

TEST(Line3Test, InvalidLinesLeaveResultsUntouched) {
    const Line3 x = xAxis();
    const Line3 badBase(invalidVector(), unit(Vector3(0, 1, 0)));
    for (const Line3& bad : {Line3(), badBase}) {
        Vector3 p(7, 7, 7);
        Vector3 q = unit(Vector3(0, 0, 2));
        EXPECT_EQ(x.closestPoints(bad, p, q), 0);
        EXPECT_EQ(bad.closestPoints(x, p, q), 0);
        EXPECT_TRUE(vectorIs(p, 7, 7, 7, Plain));
        EXPECT_TRUE(vectorIs(q, 0, 0, 1, Unit));
        EXPECT_EQ(x.distanceTo(bad), 0.0);
        EXPECT_EQ(bad.distanceTo(x), 0.0);
        EXPECT_TRUE(vectorIs(Vector3(x, bad), 0, 0, 0, Plain));
        EXPECT_TRUE(vectorIs(Vector3(bad, x), 0, 0, 0, Plain));
        EXPECT_EQ(bad.distanceTo(Vector3(0, 5, 0)), 0.0);
    }

    EXPECT_EQ(x.distanceTo(Vector3(2, 5, 0)), 5.0);
    EXPECT_EQ(x.distanceTo(Vector3(-7, 0, 0)), 0.0);
    EXPECT_EQ(x.distanceTo(vectorOfKind(Invalid, "[0,5,0]")), 0.0);
    EXPECT_NEAR(Line3(Vector3(1, 1, 1), Vector3(2, 2, 2)).distanceTo(Vector3(1, 1, 4)),
                std::sqrt(6.0), Tol);
}

TEST(Line3Test, TextRoundTrips) {
    EXPECT_EQ(text(Line3()), "Invalid");
    const Line3 line(Vector3(), Vector3(0, 0, 2));
    EXPECT_EQ(text(line), "(P=[0,0,0],V=<0,0,1>)");
    EXPECT_EQ(text(Line3(unit(Vector3(0, 3, 0)), unit(Vector3(1, 0, 0)))), "(P=<0,1,0>,V=<1,0,0>)");

    // Into the default line the direction stays Plain, so it is not valid.
    std::istringstream in("(P=[1,2,3],V=<0,0,1>)rest");
    Line3 read;
    in >> read;
    EXPECT_FALSE(in.fail());
    EXPECT_EQ(rest(in), "rest");
    EXPECT_FALSE(read.isValid());
    EXPECT_TRUE(vectorIs(read.point(), 1, 2, 3, Plain));
    EXPECT_TRUE(vectorIs(read.direction(), 0, 0, 1, Plain));

    // Into a valid line it stays valid, and the direction is not normalised.
    std::istringstream again(" ( P = [1,2,3] , V = <0,0,2> ) ");
    Line3 valid = line;
    valid.read(again);
    EXPECT_TRUE(valid.isValid());
    EXPECT_TRUE(vectorIs(valid.point(), 1, 2, 3, Plain));
    EXPECT_TRUE(vectorIs(valid.direction(), 0, 0, 2, Unit));
    EXPECT_EQ(text(valid), "(P=[1,2,3],V=<0,0,2>)");
}

TEST(Line3Test, ReadingInvalidAndMalformedText) {
    const Line3 start(Vector3(7, 8, 9), unit(Vector3(3, 0, 4)));

    // Exactly the seven letters are consumed, and the line becomes the default.
    std::istringstream in("Invalid(P=[1,2,3],V=<0,0,1>)");
    Line3 line = start;
    in >> line;
    EXPECT_FALSE(in.fail());
    EXPECT_FALSE(line.isValid());
    EXPECT_TRUE(vectorIs(line.point(), 0, 0, 0, Plain));
    EXPECT_TRUE(vectorIs(line.direction(), 0, 0, 0, Plain));
    EXPECT_EQ(rest(in), "(P=[1,2,3],V=<0,0,1>)");

    // Without a d, at most nineteen characters after the I are skipped before
    // the closing character.
    std::istringstream noD("I" + std::string(25, 'x') + "Z");
    line = start;
    line.read(noD);
    EXPECT_FALSE(line.isValid());
    EXPECT_EQ(rest(noD), std::string(5, 'x') + "Z");

    std::istringstream shortI("Iva");
    line = start;
    shortI >> line;
    EXPECT_TRUE(shortI.fail());
    EXPECT_FALSE(line.isValid());

    // Components that were not read keep their values; the failure stays set.
    struct Case {
        const char* text;
        double px, py, pz, vx, vy, vz;
    };
    const double vx = 0.6000000000000001;
    for (const Case& c : {Case{"", 7, 8, 9, vx, 0, 0.8}, Case{"(P=[1,2", 1, 2, 9, vx, 0, 0.8},
                          Case{"(P=[1,2,3],V=<0,x", 1, 2, 3, 0, 0, 0.8},
                          Case{"(P=[a,b,c],V=<0,0,1>)", 7, 8, 9, vx, 0, 0.8}}) {
        SCOPED_TRACE(c.text);
        std::istringstream bad(c.text);
        line = start;
        bad >> line;
        EXPECT_TRUE(bad.fail());
        EXPECT_TRUE(vectorIs(line.point(), c.px, c.py, c.pz, Plain));
        EXPECT_TRUE(vectorIs(line.direction(), c.vx, c.vy, c.vz, Unit));
    }
}

}  // namespace
