// The measuring program: the closest point of the centre curve against known
// distances and brute force, the folding count, and that what it measures is
// what the displays draw.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "display/cubic_display.h"
#include "display/ferguson_display.h"
#include "distance/measure.h"
#include "gl_stand_in.h"
#include "surface_fixture.h"

namespace {

const CentreCurve curve;
constexpr double Pi = 3.14159265358979323846;

double offset(double a, double b, double period) {
    return std::fabs(std::remainder(a - b, period));
}

// The distance to the curve from 100,000 samples of it, the best one then
// narrowed by halving steps.
double bruteForce(const Point3& p) {
    const auto distance = [&p](double t) {
        const Point3 c = curveAt(t).c;
        return std::hypot(c[0] - p[0], c[1] - p[1], c[2] - p[2]);
    };
    constexpr double Step = CurvePeriod / 100000;
    double best = 0.0;
    for (double t = Step; t < CurvePeriod; t += Step) {
        best = distance(t) < distance(best) ? t : best;
    }
    for (double h = Step; h > 1e-13; h /= 2) {
        for (double t : {best - h, best + h}) {
            best = distance(t) < distance(best) ? t : best;
        }
    }
    return distance(best);
}

}  // namespace

TEST(Measure, EverySampledGridPointLiesOnTheTube) {
    for (int sectionStep : {72, 8}) {
        startUp(sectionStep);
        double distance = 0, parameters = 0;
        for (int i = 0; i <= lastRow; ++i) {
            for (int j = 0; j <= lastCol; ++j) {
                const SurfaceSample& s = surfacePoints[i][j];
                const Closest c = curve.closest({s.x, s.y, s.z});
                distance = std::max(distance, std::fabs(c.distance - tubeRadius));
                // The angle about the curve is the sampling angle.
                parameters = std::max({parameters, offset(c.t, curveParams[i], CurvePeriod),
                                       offset(c.angle, sectionParams[j], 2 * Pi)});
            }
        }
        EXPECT_LT(distance, 1e-12) << "section step " << sectionStep;
        EXPECT_LT(parameters, 1e-9) << "section step " << sectionStep;
    }
}

TEST(Measure, KnownDistancesAlsoWhereAnotherStrandIsNear) {
    // The nearest strands: C(0) = (0, 2, 0) and C(2 pi) = (0, 1, 0), both with
    // (0, 1, 0) normal to the curve. The hint lies on the wrong strand.
    const struct {
        double y, distance, t;
    } cases[] = {{1.8, 0.2, 0}, {1.5001, 0.4999, 0}, {1.4999, 0.4999, 2 * Pi}, {1.2, 0.2, 2 * Pi}};
    for (const auto& c : cases) {
        const Closest found = curve.closest({0, c.y, 0}, curve.arcOf(2 * Pi - c.t));
        EXPECT_NEAR(found.distance, c.distance, 1e-12) << "at y = " << c.y;
        EXPECT_LT(offset(found.t, c.t, CurvePeriod), 1e-9) << "at y = " << c.y;
    }
    for (double x = -0.3; x <= 0.3; x += 0.15) {
        for (double z = -0.3; z <= 0.3; z += 0.15) {
            const Point3 p = {x, 1.5 + x * z, z};
            EXPECT_NEAR(curve.closest(p).distance, bruteForce(p), 1e-12) << x << ", " << z;
        }
    }
}

TEST(Measure, PatchesFoldWithDerivativesPerRadianAndNotWithScaledOnes) {
    startUp(72);
    PatchCorners corners;
    evaluateCellCorners(40, 2, Derivatives::PerRadian, corners);
    const PatchSteps drawn = backwardSteps(curve, corners);
    evaluateCellCorners(40, 2, Derivatives::PerStep, corners);
    const PatchSteps scaled = backwardSteps(curve, corners);
    EXPECT_EQ(drawn.alongCurve.total, 17 * 16);
    EXPECT_GT(drawn.alongCurve.backward, drawn.alongCurve.total / 4);
    EXPECT_EQ(drawn.aroundTube.backward + scaled.alongCurve.backward + scaled.aroundTube.backward,
              0);
    // Values stay; tangentW times dw, tangentU times du, twists times both.
    const Matrix4 s = scaledToSteps(Matrix4(1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1), 2, 3);
    for (int n = 0; n < 16; ++n) {
        EXPECT_EQ(s.entry(n), (n < 8 ? 1 : 2) * (n % 4 < 2 ? 1 : 3)) << "entry " << n;
    }
}

TEST(Measure, TheMeasuredGeometryIsTheDrawnGeometry) {
    // Vertices, and centres of quadrilaterals summed in the order sent, in
    // surface axes: [0] as drawn, [1] as measured.
    std::set<std::array<double, 3>> vertices[2], centres[2];
    const auto quad = [&](std::initializer_list<std::array<float, 3>> corners) {
        std::array<double, 3> sum = {0, 0, 0};
        for (const auto& v : corners) {
            vertices[0].insert({v[2], v[0], v[1]});
            sum = {sum[0] + v[2], sum[1] + v[0], sum[2] + v[1]};
        }
        centres[0].insert({sum[0] / 4.0, sum[1] / 4.0, sum[2] / 4.0});
    };
    std::vector<std::array<float, 3>> sent;
    std::vector<MeasuredPoint> points;
    const PointSink keep = [&points](const MeasuredPoint& m) { points.push_back(m); };
    const auto expectSame = [&](const char* what) {
        for (const MeasuredPoint& m : points) {
            (m.kind == PointKind::Vertex ? vertices[1] : centres[1]).insert(m.position);
        }
        EXPECT_TRUE(vertices[0] == vertices[1] && centres[0] == centres[1]) << what;
        for (auto* s : {vertices, centres}) {
            s[0].clear(), s[1].clear();
        }
        sent.clear();
        points.clear();
    };
    gl.vertices = &sent;

    // Every Ferguson cell drawn (facing 1 everywhere), one polygon each.
    startUp(72);
    for (int i = 0; i <= lastRow; ++i) {
        for (int j = 0; j <= lastCol; ++j) {
            surfacePoints[i][j].facing = 1.0;
            tangentU[i][j].facing = tangentW[i][j].facing = twists[i][j].facing = 0.0;
        }
    }
    displayFerguson();
    ASSERT_EQ(sent.size(), 900u * 256 * 4);
    for (std::size_t n = 0; n < sent.size(); n += 4) {
        quad({sent[n], sent[n + 1], sent[n + 2], sent[n + 3]});
    }
    measureFerguson(curve, Derivatives::PerRadian, keep);
    expectSame("Ferguson patches");

    // Strips of 12 vertices, left and right per station; a quad's outline
    // runs left and right at one station, then right and left at the next.
    startUp(8);
    displayCubic();
    ASSERT_EQ(sent.size(), 8100u * 12);
    for (std::size_t strip = 0; strip < sent.size(); strip += 12) {
        for (std::size_t n = strip; n < strip + 10; n += 2) {
            quad({sent[n], sent[n + 1], sent[n + 3], sent[n + 2]});
        }
    }
    const Block b = measureCubic(curve, keep);
    // The block's figures are those of its points: 46 edge curves of 901
    // stations, 8,100 strips of 5 quads.
    const auto [inside, outside] = std::minmax_element(
        points.begin(), points.end(), [](auto& p, auto& q) { return p.distance < q.distance; });
    double sum = 0;
    for (const MeasuredPoint& m : points) {
        sum += m.distance * m.distance;
    }
    EXPECT_TRUE(b.points == 81946 && b.inside.distance == inside->distance &&
                b.outside.distance == outside->distance);
    EXPECT_NEAR(b.rootMeanSquare, std::sqrt(sum / 81946), 1e-15);
    expectSame("cubic strips");
    gl = GlStandIn();
}
