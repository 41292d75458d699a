#include <gtest/gtest.h>

#include <vector>

#include "app/globals.h"
#include "app/idle.h"
#include "display/cubic_display.h"
#include "display/ferguson_display.h"
#include "gl_recorder.h"
#include "reference_display.h"
#include "surface/facing.h"
#include "surface/surface_grid.h"

namespace {

using Display = void (*)();

void expectSameStream(Display display, Display reference) {
    glrec::reset();
    reference();
    const std::vector<GlCall> expected = glrec::calls();
    glrec::reset();
    display();
    const std::vector<GlCall>& actual = glrec::calls();
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t n = 0; n < actual.size(); ++n) {
        ASSERT_EQ(actual[n], expected[n]) << "call " << n << ": " << describe(actual[n])
                                          << " instead of " << describe(expected[n]);
    }
}

void startUp(int sectionStep) {
    curveStepDeg = 4;
    sectionStepDeg = sectionStep;
    patchMode = sectionStep == 72 ? 0 : 1;
    orbitStepDeg = 10.0;
    eyePos = {0.0, 0.0, 5.0};
    animPhase = 0.6f;
    sampleSurface();
}

}  // namespace

TEST(FrameIdentity, FergusonFramesMatchTheStraightforwardAlgorithm) {
    startUp(72);
    // Along the orbit, with the facing data refreshed as the idle step does.
    for (int step = 0; step < 40; ++step) {
        if (step % 13 == 0) {
            expectSameStream(displayFerguson, referenceDisplayFerguson);
        }
        advanceAnimation();
    }
    // Off the orbit, and from inside the tube, where little is culled.
    for (const EyePosition eye : {EyePosition{1.0, 3.0, -2.0}, EyePosition{0.1, 2.0, 0.05}}) {
        eyePos = eye;
        recomputeFacing();
        expectSameStream(displayFerguson, referenceDisplayFerguson);
    }
}

TEST(FrameIdentity, CubicFramesMatchTheStraightforwardAlgorithm) {
    startUp(8);
    for (int step = 0; step < 70; ++step) {
        if (step % 15 == 0 || step == 16) {
            expectSameStream(displayCubic, referenceDisplayCubic);
        }
        advanceAnimation();
    }
    eyePos = {0.0, 0.0, 0.0};  // a degenerate eye direction shades everything 0
    expectSameStream(displayCubic, referenceDisplayCubic);
}

TEST(FrameIdentity, CachedPositionsFollowANewSampling) {
    startUp(8);
    expectSameStream(displayCubic, referenceDisplayCubic);
    startUp(72);
    expectSameStream(displayFerguson, referenceDisplayFerguson);
    // A grid too large for the position cache is still drawn the same way.
    sectionStepDeg = 36;
    sampleSurface();
    ASSERT_GT(lastRow * lastCol, 1024);
    expectSameStream(displayFerguson, referenceDisplayFerguson);
    expectSameStream(displayCubic, referenceDisplayCubic);
}
