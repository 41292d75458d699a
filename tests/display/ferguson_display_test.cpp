#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "app/globals.h"
#include "display/ferguson_display.h"
#include "gl_recorder.h"
#include "surface/surface_grid.h"

namespace {

// A patch whose value is a + b*u + c*w.
Matrix4 linearPatch(double a, double b, double c) {
    return Matrix4(a, c, 0, 0, b, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
}

std::vector<GlCall> drawOne(const Matrix4& cf, int depth, double extent = 1.0) {
    glrec::reset();
    drawPatch(0.0, extent, 0.0, extent, linearPatch(0, 1, 0), linearPatch(0, 0, 1),
              linearPatch(7, 0, 0), cf, depth);
    return glrec::calls();
}

GlCall call(GlOp op, std::vector<double> args = {}) {
    GlCall c{op, static_cast<std::uint8_t>(args.size()), {}};
    for (std::size_t n = 0; n < args.size(); ++n) {
        c.args[n] = args[n];
    }
    return c;
}

void sampleFerguson() {
    curveStepDeg = 4;
    sectionStepDeg = 72;
    eyePos = {0.0, 0.0, 5.0};
    sampleSurface();
}

}  // namespace

TEST(DrawPatch, OneCellIsAPolygonInDisplayAxesAndCornerOrder) {
    // x = u, y = w, z = 7: display axes (y, z, x) put the vertex at (w, 7, u).
    const auto calls = drawOne(linearPatch(1, 0, 0), PatchSubdivisionDepth);
    const std::vector<GlCall> expected = {call(GlOp::Color3f, {0, 0, 1}),
                                          call(GlOp::Begin, {GL_POLYGON}),
                                          call(GlOp::Vertex3f, {0, 7, 0}),
                                          call(GlOp::Vertex3f, {1, 7, 0}),
                                          call(GlOp::Vertex3f, {1, 7, 1}),
                                          call(GlOp::Vertex3f, {0, 7, 1}),
                                          call(GlOp::End)};
    ASSERT_EQ(calls.size(), expected.size());
    for (std::size_t n = 0; n < calls.size(); ++n) {
        EXPECT_EQ(calls[n], expected[n]) << n << ": " << describe(calls[n]);
    }
}

TEST(DrawPatch, FacingCutOffAndBlueShade) {
    auto calls = drawOne(linearPatch(FacingThreshold, 0, 0), PatchSubdivisionDepth);
    ASSERT_EQ(calls.size(), 7u);
    EXPECT_EQ(calls[0], call(GlOp::Color3f, {0, 0, static_cast<float>(0.8 * 0.001 + 0.2)}));
    EXPECT_FLOAT_EQ(static_cast<float>(calls[0].args[2]), 0.2008f);

    EXPECT_TRUE(drawOne(linearPatch(0.000999, 0, 0), PatchSubdivisionDepth).empty());
    EXPECT_TRUE(drawOne(linearPatch(-1, 0, 0), 0).empty());
    EXPECT_TRUE(
        drawOne(linearPatch(std::numeric_limits<double>::quiet_NaN(), 0, 0), PatchSubdivisionDepth)
            .empty());
}

TEST(DrawPatch, SixteenBySixteenCellsCulledAtTheirCentres) {
    auto calls = drawOne(linearPatch(1, 0, 0), 0, PatchExtent);
    EXPECT_EQ(glrec::countOf(GlOp::Begin), 256u);
    EXPECT_EQ(glrec::countOf(GlOp::Vertex3f), 4u * 256u);
    // Cells are 0.065625 wide; the first is [0, 0.065625]^2 and the second
    // follows in u (the surface x, the third display axis).
    const float step = static_cast<float>(PatchExtent / 16);
    EXPECT_EQ(calls[4], call(GlOp::Vertex3f, {step, 7, step}));
    EXPECT_EQ(calls[7 + 2], call(GlOp::Vertex3f, {0, 7, step}));

    // Facing u - 0.5: only cells whose centre lies at u >= 0.501 are drawn,
    // 8 rows of 16, however far their corners reach below.
    calls = drawOne(linearPatch(-0.5, 1, 0), 0, PatchExtent);
    EXPECT_EQ(glrec::countOf(GlOp::Begin), 128u);
    float lowestU = 2.0f;
    for (const GlCall& c : calls) {
        if (c.op == GlOp::Vertex3f) {
            lowestU = std::min(lowestU, static_cast<float>(c.args[2]));
        }
    }
    EXPECT_EQ(lowestU, static_cast<float>(8 * PatchExtent / 16));
}

TEST(FergusonDisplay, FrameIsFramedAndCullsAboutHalfTheTube) {
    sampleFerguson();
    eyePos = {1.5, 0.0, 4.75};
    glrec::reset();
    displayFerguson();
    const std::vector<GlCall> frame = glrec::calls();

    ASSERT_GE(frame.size(), 5u);
    EXPECT_EQ(frame[0], call(GlOp::Clear, {GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT}));
    EXPECT_EQ(frame[1], call(GlOp::MatrixMode, {GL_MODELVIEW}));
    EXPECT_EQ(frame[2], call(GlOp::LoadIdentity));
    EXPECT_EQ(frame[3], call(GlOp::LookAt, {1.5, 0, 4.75, 0, 0, 0, 0, 1, 0}));
    EXPECT_EQ(frame.back(), call(GlOp::SwapBuffers));

    // The cells in between are the 900 patches as drawPatch tessellates
    // them, row by row: the frame identity test compares them call by call.
    EXPECT_EQ(glrec::countOf(GlOp::Begin), glrec::countOf(GlOp::End));
    // Every colour is a visible blue, and about half of the tube faces the eye.
    const std::size_t polygons = glrec::countOf(GlOp::Begin);
    EXPECT_EQ(glrec::countOf(GlOp::Vertex3f), 4 * polygons);
    EXPECT_GT(polygons, 900u * 256u / 4);
    EXPECT_LT(polygons, 900u * 256u * 3 / 4);
}

TEST(FergusonDisplay, EmptyGridStillClearsAndSwaps) {
    sampleFerguson();
    const int rows = lastRow;
    lastRow = 0;
    markGridChanged();
    glrec::reset();
    displayFerguson();
    lastRow = rows;
    markGridChanged();
    EXPECT_EQ(glrec::calls().size(), 5u);
    EXPECT_EQ(glrec::countOf(GlOp::SwapBuffers), 1u);
}
