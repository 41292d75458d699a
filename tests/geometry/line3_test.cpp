#include "geometry/line3.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "invalid_vector.h"

namespace {

constexpr double Tol = 1e-12;

Line3 xAxis() {
    return Line3(Vector3(), unit(Vector3(1, 0, 0)));
}

TEST(Line3Test, Construction) {
    EXPECT_FALSE(Line3().isValid());
    const Line3 line(Vector3(1, 2, 3), unit(Vector3(0, 0, 5)));
    EXPECT_TRUE(line.isValid());
    EXPECT_TRUE(vectorIs(line.point(), 1, 2, 3, Plain));
    EXPECT_TRUE(vectorIs(line.direction(), 0, 0, 1, Unit));
    // A second point gives the direction from the first towards it.
    EXPECT_TRUE(vectorIs(Line3(Vector3(0, 0, 2), Vector3()).direction(), 0, 0, -1, Unit));
    // A Unit second argument is taken as it is, and the base point keeps its kind.
    EXPECT_TRUE(vectorIs(Line3(Vector3(), unit(Vector3(1, 0, 0)) * 3).direction(), 3, 0, 0, Unit));
    EXPECT_TRUE(vectorIs(Line3(unit(Vector3(0, 2, 0)), Vector3(1, 1, 0)).point(), 0, 1, 0, Unit));

    // A second point too close gives the zero direction: a valid line that
    // behaves as its base point.
    const Line3 stub(Vector3(), Vector3(0, 0, 0.0005));
    EXPECT_TRUE(vectorIs(stub.direction(), 0, 0, 0, Unit));
    EXPECT_EQ(stub.distanceTo(Vector3(0, 3, 4)), 5.0);
    EXPECT_TRUE(Line3(Vector3(1, 1, 1), invalidVector()).isValid());
    EXPECT_FALSE(Line3(invalidVector(), Vector3(1, 0, 0)).isValid());
    EXPECT_FALSE(Line3(invalidVector(), unit(Vector3(1, 0, 0))).isValid());
}

TEST(Line3Test, ClosestPointsOfSkewAndIntersectingLines) {
    const Line3 x = xAxis();
    const Line3 skew(Vector3(3, 0, 1), unit(Vector3(1, 1, 0)));
    Vector3 p;
    Vector3 q;
    EXPECT_EQ(x.closestPoints(skew, p, q), 1);
    EXPECT_TRUE(vectorIs(p, 3, 0, 0, Plain, Tol));
    EXPECT_TRUE(vectorIs(q, 3, 0, 1, Plain, Tol));
    EXPECT_NEAR(x.distanceTo(skew), 1.0, Tol);
    EXPECT_TRUE(vectorIs(Vector3(x, skew), 3, 0, 0.5, Plain, Tol));

    const Line3 crossing(Vector3(2, -1, 0), unit(Vector3(0, 1, 0)));
    EXPECT_EQ(crossing.closestPoints(x, p, q), 1);
    EXPECT_TRUE(vectorIs(p, 2, 0, 0, Plain));
    EXPECT_TRUE(vectorIs(q, 2, 0, 0, Plain));
    EXPECT_EQ(x.distanceTo(crossing), 0.0);
    EXPECT_TRUE(vectorIs(Vector3(x, crossing), 2, 0, 0, Plain));

    // In general the points lie on their lines and span the common perpendicular.
    const Line3 a(Vector3(1, 2, 3), Vector3(2, 0, 3.5));
    const Line3 b(Vector3(-2, 0, 1), unit(Vector3(0.3, 1, -1)));
    EXPECT_EQ(a.closestPoints(b, p, q), 1);
    EXPECT_NEAR(a.distanceTo(p), 0.0, Tol);
    EXPECT_NEAR(b.distanceTo(q), 0.0, Tol);
    EXPECT_NEAR(dot(p - q, a.direction()), 0.0, Tol);
    EXPECT_NEAR(dot(p - q, b.direction()), 0.0, Tol);
    EXPECT_GT(a.distanceTo(b), 0.1);
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

    // Directions (c, s, 0) against the x axis: 1 - c * c is 0.001000000000000112
    // for the first c and 0.0009999999999998899 for the next double up.
    const Line3 general(Vector3(0, 1, 0),
                        vectorOfKind(Unit, "[0.9994998749374608,0.031622776601683794,0]"));
    EXPECT_EQ(x.closestPoints(general, p, q), 1);
    EXPECT_NEAR(p.getX(), -31.6, 0.1);  // where the two lines cross
    EXPECT_TRUE(vectorIs(q, p.getX(), 0, 0, Plain, 1e-9));
    const Line3 nearly(Vector3(0, 1, 0),
                       vectorOfKind(Unit, "[0.999499874937461,0.031622776601683794,0]"));
    EXPECT_EQ(x.closestPoints(nearly, p, q), 1);
    EXPECT_TRUE(vectorIs(p, 0, 0, 0, Plain));
    EXPECT_TRUE(vectorIs(q, 0, 1, 0, Plain));

    // A scaled Unit direction makes 1 - d * d negative, which is not parallel.
    EXPECT_EQ(x.closestPoints(Line3(Vector3(0, 1, 0), unit(Vector3(1, 1, 0)) * 2), p, q), 1);
    EXPECT_TRUE(vectorIs(p, 2, 0, 0, Plain, Tol));
    EXPECT_TRUE(vectorIs(q, 2, 3, 0, Plain, Tol));
}

TEST(Line3Test, InvalidLinesAndPointDistances) {
    const Line3 x = xAxis();
    for (const Line3& bad : {Line3(), Line3(invalidVector(), unit(Vector3(0, 1, 0)))}) {
        Vector3 p(7, 7, 7);
        Vector3 q = unit(Vector3(0, 0, 2));
        EXPECT_EQ(x.closestPoints(bad, p, q), 0);
        EXPECT_EQ(bad.closestPoints(x, p, q), 0);
        EXPECT_TRUE(vectorIs(p, 7, 7, 7, Plain));
        EXPECT_TRUE(vectorIs(q, 0, 0, 1, Unit));
        EXPECT_EQ(bad.distanceTo(x), 0.0);
        EXPECT_TRUE(vectorIs(Vector3(x, bad), 0, 0, 0, Plain));
        EXPECT_EQ(bad.distanceTo(Vector3(0, 5, 0)), 0.0);
        EXPECT_EQ(text(bad), "Invalid");
    }
    EXPECT_EQ(x.distanceTo(Vector3(2, 5, 0)), 5.0);
    EXPECT_EQ(x.distanceTo(Vector3(-7, 0, 0)), 0.0);
    EXPECT_EQ(x.distanceTo(vectorOfKind(Invalid, "[0,5,0]")), 0.0);
}

TEST(Line3Test, TextRoundTripsAndMalformedInput) {
    const Line3 zAxis(Vector3(), Vector3(0, 0, 2));
    EXPECT_EQ(text(zAxis), "(P=[0,0,0],V=<0,0,1>)");
    EXPECT_EQ(text(Line3(unit(Vector3(0, 3, 0)), zAxis.direction())), "(P=<0,1,0>,V=<0,0,1>)");

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
    std::istringstream spaced(" ( P = [1,2,3] , V = <0,0,2> ) ");
    Line3 valid = zAxis;
    valid.read(spaced);
    EXPECT_FALSE(spaced.fail());
    EXPECT_EQ(text(valid), "(P=[1,2,3],V=<0,0,2>)");

    const Line3 start(Vector3(7, 8, 9), unit(Vector3(3, 0, 4)));
    // Exactly the seven letters are consumed, and the line becomes the default.
    std::istringstream invalid("Invalid(P=[1,2,3],V=<0,0,1>)");
    Line3 line = start;
    invalid >> line;
    EXPECT_FALSE(invalid.fail());
    EXPECT_FALSE(line.isValid());
    EXPECT_TRUE(vectorIs(line.point(), 0, 0, 0, Plain));
    EXPECT_EQ(rest(invalid), "(P=[1,2,3],V=<0,0,1>)");

    // Without a d: the I, nineteen characters and the closing one, no more.
    std::istringstream noD("I" + std::string(25, 'x') + "Z");
    line = start;
    noD >> line;
    EXPECT_FALSE(line.isValid());
    EXPECT_EQ(rest(noD), "xxxxxZ");
    std::istringstream shortI("Iva");
    shortI >> line;
    EXPECT_TRUE(shortI.fail());

    // Components that were not read keep their values; the failure stays set.
    struct Case {
        const char* text;
        double px, py, pz, vx;
    };
    const double vx = 0.6000000000000001;
    for (const Case& c : {Case{"", 7, 8, 9, vx}, Case{"(P=[1,2", 1, 2, 9, vx},
                          Case{"(P=[1,2,3],V=<0,x", 1, 2, 3, 0}}) {
        SCOPED_TRACE(c.text);
        std::istringstream bad(c.text);
        line = start;
        bad >> line;
        EXPECT_TRUE(bad.fail());
        EXPECT_TRUE(vectorIs(line.point(), c.px, c.py, c.pz, Plain));
        EXPECT_TRUE(vectorIs(line.direction(), c.vx, 0, 0.8, Unit));
    }
}

}  // namespace
