#include <gtest/gtest.h>

#include <cmath>

#include "app/globals.h"
#include "surface/surface_grid.h"
#include "ulps.h"

namespace {

void sample(int sectionStep) {
    curveStepDeg = 4;
    sectionStepDeg = sectionStep;
    eyePos = {0.0, 0.0, 5.0};
    sampleSurface();
}

bool isZero(const SurfaceSample& s) {
    return s.x == 0.0 && s.y == 0.0 && s.z == 0.0 && s.facing == 0.0;
}

}  // namespace

TEST(Sampling, GridCountsAndParametersForBothModes) {
    sample(8);
    EXPECT_EQ(lastRow, 180);
    EXPECT_EQ(lastCol, 45);

    sample(72);
    EXPECT_EQ(lastRow, 180);
    EXPECT_EQ(lastCol, 5);
    EXPECT_EQ(curveParams[1], 0.06981317007955555);
    EXPECT_TRUE(withinUlps(curveParams[180], 12.566370614320002, 4));
    const double phis[] = {
        0.0, 1.256637061432, 2.513274122864, 3.769911184296, 5.026548245728, 6.28318530716};
    for (int j = 0; j <= lastCol; ++j) {
        EXPECT_TRUE(withinUlps(sectionParams[j], phis[j], 4)) << j;
    }
}

TEST(Sampling, FirstRingFollowsTheCurveFrame) {
    sample(72);
    // At t = 0 the frame is N = (0.8, 0, -0.6), B = (0, -1, 0) about C = (0, 2, 0).
    EXPECT_TRUE(withinUlps(surfacePoints[0][0].x, 0.16000000000000003, 4));
    EXPECT_TRUE(withinUlps(surfacePoints[0][0].y, 2.0, 4));
    EXPECT_TRUE(withinUlps(surfacePoints[0][0].z, -0.12000000000000002, 4));
    EXPECT_NEAR(surfacePoints[0][1].x, 0.0494427, 1e-7);
    EXPECT_NEAR(surfacePoints[0][1].y, 1.8097887, 1e-7);
    EXPECT_NEAR(surfacePoints[0][1].z, -0.0370820, 1e-7);
    // Every ring point lies at the tube radius from the curve point (0, 2, 0).
    for (int j = 0; j <= lastCol; ++j) {
        const SurfaceSample& p = surfacePoints[0][j];
        EXPECT_NEAR(std::hypot(p.x, p.y - 2.0, p.z), tubeRadius, 1e-12);
    }
}

TEST(Sampling, GridClosesAtBothSeams) {
    for (const int step : {72, 8}) {
        sample(step);
        for (int j = 0; j <= lastCol; ++j) {
            // The truncated pi keeps the last row just short of the first.
            EXPECT_NEAR(surfacePoints[lastRow][j].x, surfacePoints[0][j].x, 1e-9);
            EXPECT_NEAR(surfacePoints[lastRow][j].y, surfacePoints[0][j].y, 1e-9);
            EXPECT_NEAR(surfacePoints[lastRow][j].z, surfacePoints[0][j].z, 1e-9);
            EXPECT_EQ(tangentU[lastRow][j].x, tangentU[0][j].x);
            EXPECT_EQ(tangentU[lastRow][j].y, tangentU[0][j].y);
            EXPECT_EQ(tangentU[lastRow][j].z, tangentU[0][j].z);
        }
        for (int i = 0; i <= lastRow; ++i) {
            EXPECT_EQ(tangentW[i][lastCol].x, tangentW[i][0].x);
            EXPECT_EQ(tangentW[i][lastCol].y, tangentW[i][0].y);
            EXPECT_EQ(tangentW[i][lastCol].z, tangentW[i][0].z);
        }
    }
    // The facing slope is the spline's own end slope, not a seam copy.
    EXPECT_NE(tangentU[lastRow][0].facing, tangentU[0][0].facing);
}

TEST(Sampling, DerivativesApproximateTheTube) {
    sample(8);
    // Around the tube the ring is a circle of radius 0.2: |dP/dphi| is 0.2 away
    // from the natural-spline ends.
    for (const int i : {0, 45, 90, 135}) {
        for (int j = 5; j <= lastCol - 5; ++j) {
            const SurfaceSample& w = tangentW[i][j];
            EXPECT_NEAR(std::sqrt(w.x * w.x + w.y * w.y + w.z * w.z), tubeRadius, 1e-3);
        }
    }
    // Along the curve the slope matches a central difference of the samples.
    for (const int i : {30, 90, 150}) {
        const int j = 10;
        const double h = curveParams[i + 1] - curveParams[i - 1];
        EXPECT_NEAR(tangentU[i][j].y, (surfacePoints[i + 1][j].y - surfacePoints[i - 1][j].y) / h,
                    1e-2);
    }
}

TEST(Sampling, NothingIsWrittenBeyondTheGrid) {
    sample(8);  // the wider grid first, so that leftovers would show
    sample(72);
    for (int i = 0; i < MaxGridRows; ++i) {
        for (int j = 0; j < MaxGridCols; ++j) {
            if (i <= lastRow && j <= 45) {
                continue;
            }
            ASSERT_TRUE(isZero(surfacePoints[i][j]) && isZero(tangentU[i][j]) &&
                        isZero(tangentW[i][j]) && isZero(twists[i][j]))
                << i << "," << j;
        }
    }
}
