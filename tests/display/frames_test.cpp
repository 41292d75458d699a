// Whole frames, pinned by the digest of their GL calls. The digests were
// verified once by an independent Python model of the frames written from
// their description (scripts/reference_model.py, in the history up to commit
// 15601e6): every colour, vertex and call, in order, to the last bit.

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "display/cubic_display.h"
#include "display/ferguson_display.h"
#include "display/frame.h"
#include "display/frame_style.h"
#include "gl_stand_in.h"
#include "primitive_digest.h"
#include "record/frame_loop.h"
#include "surface/facing.h"
#include "surface/ferguson.h"
#include "surface_fixture.h"

namespace {

// A frame after a number of idle steps: its digest and primitive count.
using Pinned = std::tuple<int, std::uint64_t, std::size_t>;

// Samples for the section step, takes the mode (0 Ferguson, 1 cubic), puts the eye at its start,
// then draws frames as the recorder does, frame k after k idle steps, and checks the pinned ones.
void expectFrames(int sectionStep, int mode, std::initializer_list<Pinned> frames,
                  EyePosition start = {0.0, 0.0, 5.0}) {
    startUp(sectionStep);
    patchMode = mode;
    eyePos = start;
    recomputeFacing();
    auto pinned = frames.begin();
    gl = GlStandIn();
    drawFrames(std::get<0>(*std::prev(frames.end())) + 1, [&](int k) {
        if (k == std::get<0>(*pinned)) {
            EXPECT_EQ(gl.stream.value, std::get<1>(*pinned)) << "after " << k << " idle steps";
            EXPECT_EQ(gl.count(GlOp::Begin), std::get<2>(*pinned))
                << "after " << k << " idle steps";
            ++pinned;
        }
        gl = GlStandIn();
        return true;
    });
}

}  // namespace

TEST(Frames, AlongTheOrbitAndThroughThePhaseWrap) {
    expectFrames(72, 0,
                 {{0, 0x3c24aff9f032443fu, 114703},
                  {1, 0x845405c00eebc162u, 114687},
                  {2, 0x443951a9d06ae0fcu, 114424},
                  {3, 0x89be5bde34e25fd5u, 114054},
                  {20, 0xc761151468d6fefbu, 110801}});
    expectFrames(8, 1,
                 {{0, 0x794eb08702bf25d5u, 8100},
                  {1, 0xc4f7930f04b85b76u, 8100},
                  {2, 0x43bf0f006267f2bcu, 8100},
                  {3, 0xd29f09024cfb501du, 8100},
                  {16, 0x3d94cb79dc99ce09u, 8100}});
    // A new sampling, with 180 x 10 cells: more than the Ferguson display
    // keeps prepared.
    expectFrames(36, 0, {{0, 0x3714df3b6f3febd7u, 223885}});
    expectFrames(36, 1, {{0, 0xc986df53d6198d45u, 1800}});
    // From an eye off the plane that the orbit above keeps to, where y counts.
    expectFrames(72, 0, {{0, 0x31cc3ec6f4d9f035u, 111068}}, {1.0, 3.0, -2.0});
    expectFrames(8, 1, {{0, 0x1bde115d02bf25d5u, 8100}}, {1.0, 3.0, -2.0});
}

TEST(Frames, DrawPatchOverEveryCellAndTheFacingCutOff) {
    // The straightforward frame: every cell's patch drawn by drawPatch.
    const auto drawEveryCell = [] {
        gl = GlStandIn();
        beginFrame();
        for (int i = 0; i < lastRow; ++i) {
            for (int j = 0; j < lastCol; ++j) {
                const auto c = [i, j](double SurfaceSample::*field) {
                    return coefficientMatrix(geometryMatrix(i, j, field));
                };
                drawPatch(0.0, PatchExtent, 0.0, PatchExtent, c(&SurfaceSample::x),
                          c(&SurfaceSample::y), c(&SurfaceSample::z), c(&SurfaceSample::facing), 0);
            }
        }
        glutSwapBuffers();
    };
    startUp(72);
    drawEveryCell();
    EXPECT_EQ(gl.stream.value, 0x3c24aff9f032443fu);

    // A cell is drawn from a centre facing of exactly 0.001 on, in blue
    // 0.8 * 0.001 + 0.2 computed in double and sent as float.
    for (const auto& [facing, drawn] : {std::pair{0.001, 900 * 256u}, {0.000999, 0u}, {NAN, 0u}}) {
        for (SurfaceSample(*grid)[MaxGridCols] : {surfacePoints, tangentU, tangentW, twists}) {
            for (int i = 0; i <= lastRow; ++i) {
                for (SurfaceSample& sample : grid[i]) {
                    sample.facing = grid == surfacePoints ? facing : 0.0;
                }
            }
        }
        drawEveryCell();
        EXPECT_EQ(gl.count(GlOp::Begin), drawn);
        EXPECT_EQ(
            gl.text.find(" glColor3f(0,0,0.20080000162124634) glBegin(9) ") != std::string::npos,
            drawn > 0);
        gl = GlStandIn();
        displayFerguson();
        EXPECT_EQ(gl.count(GlOp::Begin), drawn);
    }
}

TEST(Frames, PrimitivesThatTheWebHostGathersToo) {
    // Shaded, in the distance colouring, and (Ferguson) with scaled
    // derivatives.
    for (const PinnedRun run : PinnedRuns) {
        const char key = run.key;
        const int style = run.style;
        setFrameStyle({style == 0 ? Colouring::Shading : Colouring::Distance,
                       style == 2 ? Derivatives::PerStep : Derivatives::PerRadian});
        startUp(key == '1' ? 72 : 8);
        PrimitiveDigest digest;
        gl = GlStandIn();
        gl.primitives = &digest;
        drawFrames(style == 0 ? 24 : 8, [&](int k) {
            EXPECT_EQ(pinnedFrameMismatch(key, k, digest, style), "");
            digest = PrimitiveDigest();
            return true;
        });
        gl = GlStandIn();
    }
    setFrameStyle(FrameStyle());
}
