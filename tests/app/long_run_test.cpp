// Long runs of the idle step away from the toolkit: many thousands of steps
// must not let rounding carry the eye off its orbit, the phase off its cycle
// or any grid value to infinity or NaN.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <sstream>
#include <string>

#include "app/console.h"
#include "app/globals.h"
#include "app/idle.h"
#include "surface/surface_grid.h"

namespace {

constexpr int Steps = 10000;
constexpr double OrbitRadius = 5.0;
// The call that first wraps the phase from its start at 0.6, and the period
// of the wrap from then on.
constexpr int FirstWrap = 16;
constexpr int PhasePeriod = 46;

// "" when every field of every used grid entry is finite, else where not.
std::string firstNonFinite() {
    const struct {
        const char* name;
        const SurfaceSample (*grid)[MaxGridCols];
    } grids[] = {{"surfacePoints", surfacePoints},
                 {"tangentU", tangentU},
                 {"tangentW", tangentW},
                 {"twists", twists}};
    for (const auto& g : grids) {
        for (int i = 0; i <= lastRow; ++i) {
            for (int j = 0; j <= lastCol; ++j) {
                const SurfaceSample& s = g.grid[i][j];
                if (!std::isfinite(s.x) || !std::isfinite(s.y) || !std::isfinite(s.z) ||
                    !std::isfinite(s.facing)) {
                    std::ostringstream where;
                    where << g.name << "[" << i << "][" << j << "] = (" << s.x << ", " << s.y
                          << ", " << s.z << ", " << s.facing << ")";
                    return where.str();
                }
            }
        }
    }
    return "";
}

}  // namespace

TEST(LongRun, TenThousandIdleStepsInFergusonModeStayOnOrbitCycleAndFinite) {
    eyePos = {0.0, 0.0, OrbitRadius};
    animPhase = 0.6f;
    applyMenuChoice('1');
    sampleSurface();
    ASSERT_EQ(patchMode, 0);
    ASSERT_GT(lastRow, 0);
    ASSERT_GT(lastCol, 0);
    ASSERT_EQ(firstNonFinite(), "") << "before the first step";

    double radiusDrift = 0.0;
    double heightDrift = 0.0;
    int missedWraps = 0;
    std::string nonFinite;
    for (int n = 1; n <= Steps; ++n) {
        advanceAnimation();
        radiusDrift =
            std::max(radiusDrift, std::fabs(std::hypot(eyePos.x, eyePos.z) - OrbitRadius));
        heightDrift = std::max(heightDrift, std::fabs(eyePos.y));
        if (n >= FirstWrap && (n - FirstWrap) % PhasePeriod == 0 && animPhase != 0.0f) {
            ++missedWraps;
        }
        // The facing channel changes on every step, so every step is checked.
        if (nonFinite.empty()) {
            nonFinite = firstNonFinite();
            if (!nonFinite.empty()) {
                nonFinite = "after step " + std::to_string(n) + ": " + nonFinite;
            }
        }
    }

    // The phase after the last step: that many float steps up from 0.
    float expectedPhase = 0.0f;
    for (int k = 0; k < (Steps - FirstWrap) % PhasePeriod; ++k) {
        expectedPhase = expectedPhase + PhaseStep;
    }

    std::ostringstream drift;
    drift.precision(3);
    drift << "max |sqrt(x^2+z^2) - 5| = " << radiusDrift << ", max |y| = " << heightDrift
          << " over " << Steps << " steps; at the end "
          << std::fabs(std::hypot(eyePos.x, eyePos.z) - OrbitRadius) << " and "
          << std::fabs(eyePos.y);
    std::cout << "eye drift: " << drift.str() << std::endl;
    RecordProperty("eye_radius_drift", std::to_string(radiusDrift));
    RecordProperty("eye_height_drift", std::to_string(heightDrift));

    EXPECT_LT(radiusDrift, 1e-9) << drift.str();
    EXPECT_LT(heightDrift, 1e-9) << drift.str();
    EXPECT_EQ(missedWraps, 0) << "calls 16, 62, 108, ... must leave the phase at 0";
    EXPECT_EQ(animPhase, expectedPhase);
    EXPECT_EQ(nonFinite, "");
}
