#include <gtest/gtest.h>

#include <cstring>

#include "app/globals.h"
#include "surface/facing.h"
#include "surface/surface_grid.h"

namespace {

void sampleFerguson() {
    curveStepDeg = 4;
    sectionStepDeg = 72;
    eyePos = {0.0, 0.0, 5.0};
    sampleSurface();
}

int countFacing() {
    int count = 0;
    for (int i = 0; i <= lastRow; ++i) {
        for (int j = 0; j <= lastCol; ++j) {
            count += surfacePoints[i][j].facing >= 0.001 ? 1 : 0;
        }
    }
    return count;
}

struct GridCopy {
    SurfaceSample grids[4][MaxGridRows][MaxGridCols];
};

void snapshot(GridCopy& copy) {
    std::memcpy(copy.grids[0], surfacePoints, sizeof surfacePoints);
    std::memcpy(copy.grids[1], tangentU, sizeof tangentU);
    std::memcpy(copy.grids[2], tangentW, sizeof tangentW);
    std::memcpy(copy.grids[3], twists, sizeof twists);
}

GridCopy before;
GridCopy after;

}  // namespace

TEST(Facing, ValuesAndVisibleCountsFollowTheEye) {
    sampleFerguson();
    EXPECT_NEAR(surfacePoints[0][0].facing, 0.8111, 1e-4);
    EXPECT_NEAR(surfacePoints[0][3].facing, -0.8181, 1e-4);  // far side of the tube
    EXPECT_EQ(countFacing(), 606);

    eyePos = {0.0, 0.0, -5.0};
    recomputeFacing();
    EXPECT_NEAR(surfacePoints[0][0].facing, -0.5540, 1e-4);
    EXPECT_EQ(countFacing(), 438);

    eyePos = {5.0, 0.0, 0.0};
    recomputeFacing();
    EXPECT_NEAR(surfacePoints[0][0].facing, -0.4482, 1e-4);
}

TEST(Facing, EyeOnTheSurfaceGivesZeroFacing) {
    sampleFerguson();
    const SurfaceSample p = surfacePoints[10][2];
    eyePos = {p.y, p.z, p.x};
    recomputeFacing();
    EXPECT_EQ(surfacePoints[10][2].facing, 0.0);
}

TEST(Facing, RefreshReproducesStartUpDataAndKeepsPositions) {
    sampleFerguson();
    snapshot(before);
    recomputeFacing();
    snapshot(after);
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);

    // A moved eye changes only the facing channel, and moving back restores it.
    eyePos = {3.0, 0.0, -4.0};
    recomputeFacing();
    snapshot(after);
    bool facingChanged = false;
    for (int g = 0; g < 4; ++g) {
        for (int i = 0; i < MaxGridRows; ++i) {
            for (int j = 0; j < MaxGridCols; ++j) {
                const SurfaceSample& b = before.grids[g][i][j];
                const SurfaceSample& a = after.grids[g][i][j];
                ASSERT_TRUE(std::memcmp(&a.x, &b.x, 3 * sizeof(double)) == 0) << g << i << j;
                facingChanged = facingChanged || a.facing != b.facing;
                if (i > lastRow || j > lastCol) {
                    ASSERT_EQ(a.facing, b.facing) << "written outside the grid";
                }
            }
        }
    }
    EXPECT_TRUE(facingChanged);
    eyePos = {0.0, 0.0, 5.0};
    recomputeFacing();
    snapshot(after);
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
}
