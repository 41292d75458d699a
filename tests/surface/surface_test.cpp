// The pinned digests and values were verified once by an independent Python
// model of the surface written from its description (double arithmetic in
// the same order, the C library's sin and cos; scripts/reference_model.py,
// in the history up to commit 15601e6), to the last bit. The facing refresh and the
// Ferguson patches are pinned through the frames they draw (tests/display).

#include <gtest/gtest.h>

#include <vector>

#include "surface_fixture.h"

TEST(Spline, SlopesOfTheCubicSplineWithPrescribedEnds) {
    struct Case {
        std::vector<double> knots, values;
        double startTerm, endTerm;
        std::vector<double> slopes;
    };
    const Case cases[] = {
        {{0, 1}, {1, 4}, 0, 0, {3, 3}},                                 // two knots: the chord
        {{0, 1, 2}, {0, 1, 4}, 0, 0, {0.5, 2, 3.5}},                    // ends pulled to the chord
        {{0, 0.5, 1.5, 2, 4}, {1, 2, 4, 5, 9}, 0, 0, {2, 2, 2, 2, 2}},  // a line stays a line
        {{0, 1}, {0, 0}, 1, 0, {-2.0 / 3, 1.0 / 3}},                    // S''(x0) = 2
        {{0, 1}, {0, 0}, 0, 1, {-1.0 / 3, 2.0 / 3}},                    // S''(x1) = 2
    };
    for (const Case& c : cases) {
        std::vector<double> slopes(c.values);  // in place: the values are read first
        solveSplineSlopes(static_cast<int>(c.knots.size()) - 1, c.knots.data(), slopes.data(),
                          slopes.data(), c.startTerm, c.endTerm);
        for (std::size_t i = 0; i < slopes.size(); ++i) {
            EXPECT_NEAR(slopes[i], c.slopes[i], 1e-15) << "knot " << i << " of " << slopes.size();
        }
    }
}

TEST(Sampling, GridsOfBothModes) {
    startUp(72);
    EXPECT_TRUE(lastRow == 180 && lastCol == 5);
    EXPECT_EQ(curveParams[1], 0.06981317007955555);
    EXPECT_EQ(gridDigest(), 0x332d8ce148bd9e07u);

    startUp(8);
    EXPECT_EQ(lastCol, 45);
    EXPECT_EQ(gridDigest(), 0x47aa07f29702cd34u);
    // Nothing is written past the last row or column.
    EXPECT_TRUE(twists[lastRow + 1][0].x == 0.0 && surfacePoints[0][lastCol + 1].y == 0.0);
}
