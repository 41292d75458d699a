// The distance colouring and the scaled derivatives: the colour of every
// drawn polygon against the distance of its centre from the tube, computed
// here from the curve's formula alone (not by the measuring code), and its
// brightness against the shaded frame of the same cells; the map's stops;
// the cells, their culling and order as in the shaded frames; the scales and
// whole frames pinned.

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "app/globals.h"
#include "app/idle.h"
#include "display/cubic_display.h"
#include "display/distance_colours.h"
#include "display/ferguson_display.h"
#include "display/frame_style.h"
#include "gl_stand_in.h"
#include "surface_fixture.h"

namespace {

using Float3 = std::array<float, 3>;
using Point = std::array<double, 3>;
constexpr double Pi = 3.14159265358979323846;

// The signed distance from the tube: the nearest of 4096 samples of the
// centre curve over its period, then a golden-section search between that
// sample's neighbours. The nearest strands lie 1.0 apart, so near the tube
// the nearest sample is in the right valley.
class Tube {
  public:
    Tube() {
        for (int k = 0; k < Samples; ++k) {
            sample_[k] = at(k * Step);
        }
    }

    double distance(const Point& p) const {
        int best = 0;
        for (int k = 1; k < Samples; ++k) {
            best = squared(sample_[k], p) < squared(sample_[best], p) ? k : best;
        }
        double lo = (best - 1) * Step, hi = (best + 1) * Step;
        const double g = (std::sqrt(5.0) - 1.0) / 2.0;
        for (int n = 0; n < 100; ++n) {
            const double a = hi - g * (hi - lo), b = lo + g * (hi - lo);
            if (squared(at(a), p) < squared(at(b), p)) {
                hi = b;
            } else {
                lo = a;
            }
        }
        return std::sqrt(squared(at((lo + hi) / 2), p)) - 0.2;
    }

  private:
    static constexpr int Samples = 4096;
    static constexpr double Step = 4 * Pi / Samples;

    // C(t) = (sin 1.5t, rho cos t, rho sin t), rho = 0.5 cos 1.5t + 1.5.
    static Point at(double t) {
        const double rho = 0.5 * std::cos(1.5 * t) + 1.5;
        return {std::sin(1.5 * t), rho * std::cos(t), rho * std::sin(t)};
    }
    static double squared(const Point& a, const Point& b) {
        return (a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) +
               (a[2] - b[2]) * (a[2] - b[2]);
    }

    std::array<Point, Samples> sample_;
};

const Tube tube;

// A polygon's centre in surface axes: the mean of its corners, sent as
// (y, z, x).
Point centreOf(const std::vector<Float3>& corners) {
    Point sum = {0, 0, 0};
    for (const Float3& v : corners) {
        sum = {sum[0] + v[2], sum[1] + v[0], sum[2] + v[1]};
    }
    const double n = static_cast<double>(corners.size());
    return {sum[0] / n, sum[1] / n, sum[2] / n};
}

// What one frame sends: its colours and vertices in order, how many
// primitives, and the digest of its calls.
struct Sent {
    std::vector<Float3> colours;
    std::vector<Float3> vertices;
    std::size_t polygons = 0;
    std::uint64_t digest = 0;
};

Sent draw(const FrameStyle& style) {
    setFrameStyle(style);
    Sent sent;
    gl = GlStandIn();
    gl.colours = &sent.colours;
    gl.vertices = &sent.vertices;
    (patchMode == 0 ? displayFerguson : displayCubic)();
    sent.polygons = gl.count(GlOp::Begin);
    sent.digest = gl.stream.value;
    gl = GlStandIn();
    return sent;
}

// The expected colour: the map at d / scale, times the brightness.
void expectColour(const Float3& got, double d, double scale, double brightness, const char* what,
                  std::size_t n) {
    const Rgb map = distanceColour(d / scale);
    const double want[3] = {map.r * brightness, map.g * brightness, map.b * brightness};
    for (int c = 0; c < 3; ++c) {
        ASSERT_NEAR(got[c], want[c], 2e-6) << what << ", polygon " << n << ", channel " << c
                                           << ", distance " << d << " of " << scale;
    }
}

class DistanceColouring : public ::testing::Test {
  protected:
    void TearDown() override { setFrameStyle(FrameStyle()); }
};

}  // namespace

TEST_F(DistanceColouring, TheMapAndTheBrightness) {
    // t, then the channels in 8-bit units.
    const double map[][4] = {
        {-1, 59, 76, 192},       {-0.5, 141, 176, 254},    {0, 221, 220, 220},
        {0.5, 244, 152, 122},    {1, 180, 4, 38},          {-0.75, 100, 126, 223},
        {0.25, 232.5, 186, 171}, {0.9, 192.8, 33.6, 54.8}, {-0.1, 205, 211.2, 226.8},
        {-7, 59, 76, 192},       {7, 180, 4, 38},          {NAN, 221, 220, 220},
    };
    for (const auto& m : map) {
        const Rgb c = distanceColour(m[0]);
        EXPECT_NEAR(c.r * 255, m[1], 1e-9) << "t = " << m[0];
        EXPECT_NEAR(c.g * 255, m[2], 1e-9) << "t = " << m[0];
        EXPECT_NEAR(c.b * 255, m[3], 1e-9) << "t = " << m[0];
    }
    for (const auto& [x, b] :
         {std::pair{1.0, 1.0}, {0.5, 0.6}, {0.001, 0.2008}, {0.0, 0.2}, {-1.0, 0.2}, {1.25, 1.0}}) {
        EXPECT_NEAR(distanceBrightness(x), b, 1e-15) << "x = " << x;
    }
}

TEST_F(DistanceColouring, FergusonCellsAsShadedInTheColourOfTheirDistance) {
    // One sampling: the patches change with the choice alone.
    startUp(72);
    for (const Derivatives derivatives : {Derivatives::PerRadian, Derivatives::PerStep}) {
        const char* what = derivatives == Derivatives::PerRadian ? "as drawn" : "scaled";
        for (int steps : {0, 7}) {
            for (int k = 0; k < steps; ++k) {
                advanceAnimation();
            }
            const Sent shaded = draw({Colouring::Shading, derivatives});
            const Sent coloured = draw({Colouring::Distance, derivatives});
            // The same cells, culled and ordered alike: one colour a polygon.
            ASSERT_EQ(coloured.vertices, shaded.vertices) << what;
            ASSERT_EQ(coloured.colours.size(), shaded.polygons) << what;
            ASSERT_EQ(coloured.vertices.size(), 4 * shaded.polygons) << what;
            ASSERT_GT(shaded.polygons, 100000u) << what;
            const double scale = distanceScale();
            for (std::size_t n = 0; n < shaded.polygons; n += 23) {
                const auto first = coloured.vertices.begin() + 4 * n;
                const double d = tube.distance(centreOf({first, first + 4}));
                ASSERT_LE(std::fabs(d), scale * (1 + 1e-9)) << what << ", polygon " << n;
                // The shading's blue is 0.8 s + 0.2 of the same facing value.
                const double blue = std::min<double>(shaded.colours[n][2], 1.0);
                expectColour(coloured.colours[n], d, scale, blue, what, n);
            }
        }
    }
}

TEST_F(DistanceColouring, CubicQuadsOfTheStripsInTheColourOfTheirDistance) {
    startUp(8);
    for (int steps : {0, 7}) {
        for (int k = 0; k < steps; ++k) {
            advanceAnimation();
        }
        const double phase = animPhase;
        const Sent shaded = draw({});
        const Sent coloured = draw({Colouring::Distance, Derivatives::PerRadian});
        ASSERT_EQ(shaded.polygons, 8100u);
        // A run of five quads a strip, one colour a quad.
        ASSERT_EQ(coloured.polygons, 8100u);
        ASSERT_EQ(coloured.colours.size(), 8100u * 5);
        ASSERT_EQ(coloured.vertices.size(), 8100u * 5 * 4);
        const double scale = distanceScale();
        for (std::size_t strip = 0; strip < shaded.polygons; ++strip) {
            const Float3* v = &shaded.vertices[12 * strip];
            const Float3* c = &shaded.colours[6 * strip];
            for (std::size_t s = 0; s < 5; ++s) {
                const std::size_t n = 5 * strip + s;
                // Left and right at station s, right and left at s + 1.
                const std::vector<Float3> quad = {v[2 * s], v[2 * s + 1], v[2 * s + 3],
                                                  v[2 * s + 2]};
                ASSERT_TRUE(std::equal(quad.begin(), quad.end(), &coloured.vertices[4 * n]))
                    << "quad " << n;
                if (n % 7 != 0) {
                    continue;
                }
                // The cosine at the far station, from the shading's green.
                const double cosine = (c[s + 1][1] - 0.2) / (0.9 - phase);
                const double d = tube.distance(centreOf(quad));
                ASSERT_LE(std::fabs(d), scale * (1 + 1e-9)) << "quad " << n;
                expectColour(coloured.colours[n], d, scale,
                             std::clamp(0.8 * cosine + 0.2, 0.2, 1.0), "cubic", n);
            }
        }
    }
}

TEST_F(DistanceColouring, ScalesAndWholeFramesPinned) {
    // The scales were also found by brute force over all 490,500 or 81,946
    // points of each representation with the Tube above at 16,384 samples:
    // 0.041144090214786627, 0.017656760665100912, 0.0013120444636048334.
    // The tests above check the frames' colours and cells within rounding;
    // these digests of frames 0 and 3 hold every bit, in every build.
    const struct {
        int sectionStep;
        FrameStyle style;
        double scale;
        std::uint64_t frame0, frame3;
    } pins[] = {
        {72,
         {Colouring::Distance, Derivatives::PerRadian},
         0.041144090214786627,
         0x347c8c721032443fu,
         0x52a84c0394e25fd5u},
        {72,
         {Colouring::Distance, Derivatives::PerStep},
         0.017656760665101717,
         0x2bd49d7e00c8a56du,
         0x724139179c3b2667u},
        {72,
         {Colouring::Shading, Derivatives::PerStep},
         0.017656760665101717,
         0x2f27cb2860c8a56du,
         0x9c7d4d533c3b2667u},
        {8,
         {Colouring::Distance, Derivatives::PerRadian},
         0.0013120444636048334,
         0x96e9e0a252f2c095u,
         0x6f2789bda27ed8ddu},
    };
    for (const auto& pin : pins) {
        startUp(pin.sectionStep);
        EXPECT_EQ(draw(pin.style).digest, pin.frame0) << "section step " << pin.sectionStep;
        EXPECT_NEAR(distanceScale(), pin.scale, 1e-14) << "section step " << pin.sectionStep;
        for (int k = 0; k < 3; ++k) {
            advanceAnimation();
        }
        EXPECT_EQ(draw(pin.style).digest, pin.frame3) << "section step " << pin.sectionStep;
    }
    // Back to the viewer's frame on the same sampling: the pinned one.
    startUp(72);
    draw({Colouring::Distance, Derivatives::PerStep});
    EXPECT_EQ(draw({}).digest, 0x3c24aff9f032443fu);
}
