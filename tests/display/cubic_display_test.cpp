#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "app/globals.h"
#include "display/cubic_display.h"
#include "gl_recorder.h"
#include "surface/surface_grid.h"

namespace {

void sampleCubic() {
    curveStepDeg = 4;
    sectionStepDeg = 8;
    eyePos = {0.0, 0.0, 5.0};
    animPhase = 0.6f;
    sampleSurface();
}

struct Strip {
    std::vector<GlCall> colours;
    std::vector<GlCall> vertices;
};

// Splits a recorded frame into its strips, checking the framing calls.
std::vector<Strip> strips(const std::vector<GlCall>& frame) {
    std::vector<Strip> result;
    for (const GlCall& c : frame) {
        if (c.op == GlOp::Begin) {
            EXPECT_EQ(c.args[0], GL_QUAD_STRIP);
            result.emplace_back();
        } else if (c.op == GlOp::Color3f) {
            result.back().colours.push_back(c);
        } else if (c.op == GlOp::Vertex3f) {
            result.back().vertices.push_back(c);
        }
    }
    return result;
}

void expectVertex(const GlCall& c, const SurfaceSample& p) {
    EXPECT_EQ(c.args[0], static_cast<float>(p.y));
    EXPECT_EQ(c.args[1], static_cast<float>(p.z));
    EXPECT_EQ(c.args[2], static_cast<float>(p.x));
}

// Clears the grid to a single cell between rows 0, 1 and columns 0, 1.
void singleCell() {
    std::memset(surfacePoints, 0, sizeof surfacePoints);
    std::memset(tangentU, 0, sizeof tangentU);
    lastRow = 1;
    lastCol = 1;
    curveParams[0] = 0.0;
    curveParams[1] = 0.5;
}

}  // namespace

TEST(CubicDisplay, FrameIsOneTwelveVertexStripPerCellEndingOnTheGrid) {
    sampleCubic();
    glrec::reset();
    displayCubic();
    const auto& frame = glrec::calls();
    ASSERT_GE(frame.size(), 5u);
    EXPECT_EQ(frame[3].op, GlOp::LookAt);
    EXPECT_EQ(frame[3].args[2], 5.0);
    EXPECT_EQ(frame.back().op, GlOp::SwapBuffers);

    const auto all = strips(frame);
    ASSERT_EQ(all.size(), 180u * 45u);
    EXPECT_EQ(glrec::countOf(GlOp::End), all.size());
    for (int i = 0; i < lastRow; ++i) {
        for (int j = 0; j < lastCol; ++j) {
            const Strip& s = all[static_cast<std::size_t>(i * lastCol + j)];
            ASSERT_EQ(s.colours.size(), 6u);
            ASSERT_EQ(s.vertices.size(), 12u);
            expectVertex(s.vertices[0], surfacePoints[i][j]);
            expectVertex(s.vertices[1], surfacePoints[i][j + 1]);
            expectVertex(s.vertices[10], surfacePoints[i + 1][j]);
            expectVertex(s.vertices[11], surfacePoints[i + 1][j + 1]);
        }
    }
}

TEST(CubicDisplay, StartUpColoursFollowTheShadeAndPhase) {
    sampleCubic();
    glrec::reset();
    displayCubic();
    const auto all = strips(glrec::calls());
    int facing = 0;
    for (const Strip& s : all) {
        for (const GlCall& c : s.colours) {
            ASSERT_EQ(c.args[0], 0.0);
            // blue = 0.6 s + 0.2 and green = 0.3 s + 0.2 for one shade s in [-1, 1].
            const double shade = (c.args[2] - 0.2) / static_cast<double>(animPhase);
            ASSERT_GE(shade, -1.0 - 1e-6);
            ASSERT_LE(shade, 1.0 + 1e-6);
            ASSERT_NEAR(c.args[1], (0.9 - static_cast<double>(animPhase)) * shade + 0.2, 1e-6);
            facing += shade > 0 ? 1 : 0;
        }
    }
    const int stations = static_cast<int>(all.size()) * 6;
    EXPECT_GT(facing, stations / 4);
    EXPECT_LT(facing, stations * 3 / 4);

    // The first station of strip (0, 0) is shaded by its corner normal,
    // computed here by hand in display axes against the eye direction (0, 0, 1).
    const auto d = [](const SurfaceSample& p, double out[3]) {
        out[0] = p.y;
        out[1] = p.z;
        out[2] = p.x;
    };
    double a[3], b[3], c[3];
    d(surfacePoints[0][0], a);
    d(surfacePoints[1][0], b);
    d(surfacePoints[0][1], c);
    const double e1[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const double e2[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    const double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                         e1[0] * e2[1] - e1[1] * e2[0]};
    const double shade = n[2] / std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    EXPECT_NEAR(all[0].colours[0].args[1], 0.3 * shade + 0.2, 1e-6);
    EXPECT_NEAR(all[0].colours[0].args[2], 0.6 * shade + 0.2, 1e-6);
}

TEST(CubicDisplay, EdgeCurvesScaleSlopesToOneGridStep) {
    singleCell();
    surfacePoints[1][0] = {1, 0, 0, 0};
    tangentU[0][0] = {2, 0, 0, 0};
    tangentU[1][0] = {2, 0, 0, 0};
    surfacePoints[0][1] = {0, 1, 0, 0};
    surfacePoints[1][1] = {1, 1, 0, 0};
    markGridChanged();
    glrec::reset();
    displayCubic();
    const auto all = strips(glrec::calls());
    ASSERT_EQ(all.size(), 1u);
    // Slopes of 2 per radian over a step of 0.5 make the left edge x = t.
    const double stations[] = {0.0, 0.2, 0.4, 0.6000000000000001, 0.8, 1.0};
    for (int k = 0; k < 6; ++k) {
        EXPECT_NEAR(all[0].vertices[2 * k].args[2], stations[k], 1e-7) << k;
        EXPECT_EQ(all[0].vertices[2 * k].args[0], 0.0);
    }
    EXPECT_EQ(all[0].vertices[4].args[2], 0.4f);
    // Without slopes the right edge follows the smoothstep between its ends.
    EXPECT_NEAR(all[0].vertices[3].args[2], 3 * 0.04 - 2 * 0.008, 1e-7);
}

TEST(CubicDisplay, ColoursAtTheExtremesOfShadeAndPhase) {
    // A cell in the plane facing the eye direction (display z), seen from
    // (0, 0, 5): shade 1 everywhere.
    singleCell();
    surfacePoints[1][0] = {0, 1, 0, 0};  // display (1, 0, 0)
    surfacePoints[0][1] = {0, 0, 1, 0};  // display (0, 1, 0)
    surfacePoints[1][1] = {0, 1, 1, 0};
    markGridChanged();
    const auto firstColour = [](float phase) {
        animPhase = phase;
        glrec::reset();
        displayCubic();
        return strips(glrec::calls())[0].colours;
    };
    eyePos = {0.0, 0.0, 5.0};
    for (const GlCall& c : firstColour(0.6f)) {
        EXPECT_NEAR(c.args[1], 0.5, 1e-6);
        EXPECT_NEAR(c.args[2], 0.8, 1e-6);
    }
    eyePos = {0.0, 0.0, -5.0};
    const auto away = firstColour(0.6f);
    EXPECT_NEAR(away[0].args[1], -0.1, 1e-6);
    EXPECT_NEAR(away[0].args[2], -0.4, 1e-6);
    eyePos = {5.0, 0.0, 0.0};
    const auto side = firstColour(0.0f);
    EXPECT_NEAR(side[3].args[1], 0.2, 1e-6);
    EXPECT_NEAR(side[3].args[2], 0.2, 1e-6);

    // A degenerate corner normal shades the first station 0.
    surfacePoints[1][0] = surfacePoints[0][0];
    markGridChanged();
    const auto flat = firstColour(0.6f);
    EXPECT_EQ(flat[0].args[1], 0.2f);
    EXPECT_EQ(flat[0].args[2], 0.2f);
}
