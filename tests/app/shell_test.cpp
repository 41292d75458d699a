#include <GL/freeglut.h>
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "app/console.h"
#include "app/globals.h"
#include "app/idle.h"
#include "app/window.h"
#include "display/cubic_display.h"
#include "display/ferguson_display.h"
#include "gl_recorder.h"
#include "surface/surface_grid.h"

namespace {

GlCall call(GlOp op, std::vector<double> args = {}) {
    GlCall c{op, static_cast<std::uint8_t>(args.size()), {}};
    for (std::size_t n = 0; n < args.size(); ++n) {
        c.args[n] = args[n];
    }
    return c;
}

void expectCalls(const std::vector<GlCall>& expected) {
    const auto& calls = glrec::calls();
    ASSERT_EQ(calls.size(), expected.size());
    for (std::size_t n = 0; n < calls.size(); ++n) {
        EXPECT_EQ(calls[n], expected[n]) << n << ": " << describe(calls[n]);
    }
}

void startUp(int key) {
    eyePos = {0.0, 0.0, 5.0};
    animPhase = 0.6f;
    applyMenuChoice(key);
    sampleSurface();
}

}  // namespace

TEST(Window, InitialisationOrderTitleAndCallbacksPerMode) {
    char name[] = "patchview";
    char* argv[] = {name, nullptr};
    for (const int key : std::initializer_list<int>{'1', '2'}) {
        applyMenuChoice(key);
        glrec::reset();
        initWindow(1, argv);
        expectCalls({call(GlOp::Init, {1}),
                     call(GlOp::InitDisplayMode, {GLUT_DOUBLE | GLUT_RGB | GLUT_DEPTH}),
                     call(GlOp::InitWindowSize, {600, 600}),
                     call(GlOp::InitWindowPosition, {100, 100}), call(GlOp::CreateWindow),
                     call(GlOp::ReshapeFunc), call(GlOp::IdleFunc), call(GlOp::DisplayFunc),
                     call(GlOp::KeyboardFunc), call(GlOp::DepthFunc, {GL_LEQUAL}),
                     call(GlOp::Enable, {GL_DEPTH_TEST})});
        EXPECT_EQ(glrec::reshapeCallback, &handleReshape);
        EXPECT_EQ(glrec::idleCallback, &handleIdle);
        EXPECT_EQ(glrec::keyboardCallback, &handleKeyboard);
        if (key == '1') {
            EXPECT_EQ(glrec::windowTitle, "Ferguson Patches");
            EXPECT_EQ(glrec::displayCallback, &displayFerguson);
        } else {
            EXPECT_EQ(glrec::windowTitle, "Cubic Patches");
            EXPECT_EQ(glrec::displayCallback, &displayCubic);
        }
    }
}

TEST(Window, ReshapeSetsViewportAndPerspective) {
    glrec::reset();
    handleReshape(800, 400);
    expectCalls({call(GlOp::Viewport, {0, 0, 800, 400}), call(GlOp::MatrixMode, {GL_PROJECTION}),
                 call(GlOp::LoadIdentity), call(GlOp::Perspective, {60, 2.0, 1, 700}),
                 call(GlOp::MatrixMode, {GL_MODELVIEW}), call(GlOp::LoadIdentity)});

    glrec::reset();
    handleReshape(3, 7);
    EXPECT_EQ(glrec::calls()[3], call(GlOp::Perspective, {60, 3.0 / 7.0, 1, 700}));

    // A collapsed window has no aspect: the projection stays as it was.
    glrec::reset();
    handleReshape(640, 0);
    expectCalls({call(GlOp::Viewport, {0, 0, 640, 0})});
}

TEST(Window, KeysRedrawAndEscapeExits) {
    for (const int key : std::initializer_list<int>{'a', 'q', '\r', '1', 0xff}) {
        glrec::reset();
        handleKeyboard(static_cast<unsigned char>(key), 10, 20);
        expectCalls({call(GlOp::PostRedisplay)});
    }
    EXPECT_EXIT(handleKeyboard(27, 0, 0), testing::ExitedWithCode(0), "");
}

TEST(Idle, EyeOrbitsOnTheCircle) {
    startUp('2');
    glrec::reset();
    handleIdle();
    expectCalls({call(GlOp::PostRedisplay)});
    EXPECT_NEAR(eyePos.x, 0.8682408883, 1e-10);
    EXPECT_EQ(eyePos.y, 0.0);
    EXPECT_NEAR(eyePos.z, 4.9240387651, 1e-10);
    for (int n = 2; n <= 36; ++n) {
        handleIdle();
        if (n == 9) {
            EXPECT_NEAR(eyePos.x, 5.0, 1e-9);
            EXPECT_NEAR(eyePos.z, 0.0, 1e-8);
        } else if (n == 18) {
            EXPECT_NEAR(eyePos.x, 0.0, 1e-8);
            EXPECT_NEAR(eyePos.z, -5.0, 1e-9);
        }
    }
    // The truncated pi keeps the orbit from closing exactly.
    EXPECT_NEAR(eyePos.x, 0.0, 1e-7);
    EXPECT_NE(eyePos.x, 0.0);
    EXPECT_NEAR(eyePos.z, 5.0, 1e-9);
}

TEST(Idle, PhaseStepsInFloatAndWrapsEvery46Calls) {
    startUp('2');
    for (int n = 1; n <= 15; ++n) {
        handleIdle();
        EXPECT_NEAR(animPhase, 0.6 + 0.02 * n, 1e-6) << n;
    }
    EXPECT_LT(static_cast<double>(animPhase), 0.9);  // float steps fall just short
    handleIdle();
    EXPECT_EQ(animPhase, 0.0f);
    for (int n = 17; n <= 61; ++n) {
        handleIdle();
        ASSERT_NE(animPhase, 0.0f) << n;
    }
    handleIdle();
    EXPECT_EQ(animPhase, 0.0f);
}

TEST(Idle, FacingFollowsTheEyeOnlyInFergusonMode) {
    startUp('2');
    const double cubicFacing = surfacePoints[0][0].facing;
    handleIdle();
    EXPECT_EQ(surfacePoints[0][0].facing, cubicFacing);

    startUp('1');
    const double before = surfacePoints[0][0].facing;
    handleIdle();
    EXPECT_NE(surfacePoints[0][0].facing, before);
    // The refreshed data is what sampling from the new eye gives.
    const double refreshed = surfacePoints[0][0].facing;
    const double refreshedTwist = twists[3][2].facing;
    sampleSurface();
    EXPECT_EQ(surfacePoints[0][0].facing, refreshed);
    EXPECT_EQ(twists[3][2].facing, refreshedTwist);
}
