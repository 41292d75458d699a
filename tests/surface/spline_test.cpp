#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "surface/surface_grid.h"

namespace {

std::vector<double> slopesOf(const std::vector<double>& knots, const std::vector<double>& values,
                             double startTerm = 0.0, double endTerm = 0.0) {
    std::vector<double> slopes(knots.size(), -99.0);
    solveSplineSlopes(static_cast<int>(knots.size()) - 1, knots.data(), values.data(),
                      slopes.data(), startTerm, endTerm);
    return slopes;
}

// Second derivative of the Hermite piece on [x0, x1] at x0.
double secondDerivativeAtStart(double x0, double x1, double y0, double y1, double k0, double k1) {
    const double h = x1 - x0;
    return 6.0 * (y1 - y0) / (h * h) - (4.0 * k0 + 2.0 * k1) / h;
}

// Second derivative of the Hermite piece on [x0, x1] at x1.
double secondDerivativeAtEnd(double x0, double x1, double y0, double y1, double k0, double k1) {
    const double h = x1 - x0;
    return -6.0 * (y1 - y0) / (h * h) + (2.0 * k0 + 4.0 * k1) / h;
}

}  // namespace

TEST(SplineSlopes, StraightLinesAreReproducedOnUnevenKnots) {
    const auto chord = slopesOf({1.0, 3.0}, {2.0, 7.0});
    EXPECT_DOUBLE_EQ(chord[0], 2.5);
    EXPECT_DOUBLE_EQ(chord[1], 2.5);

    const std::vector<double> knots = {0.0, 0.5, 1.5, 2.0, 4.0};
    std::vector<double> values;
    for (const double x : knots) {
        values.push_back(2.0 * x + 1.0);
    }
    for (const double slope : slopesOf(knots, values)) {
        EXPECT_NEAR(slope, 2.0, 1e-12);
    }
}

TEST(SplineSlopes, NaturalEndsPullEndSlopesTowardsTheChord) {
    // y = x^2 sampled at 0, 1, 2: the true end slopes 0 and 4 become 0.5 and 3.5.
    const auto slopes = slopesOf({0.0, 1.0, 2.0}, {0.0, 1.0, 4.0});
    EXPECT_EQ(slopes[0], 0.5);
    EXPECT_EQ(slopes[1], 2.0);
    EXPECT_NEAR(slopes[2], 3.5, 4 * std::numeric_limits<double>::epsilon() * 3.5);
    EXPECT_EQ(slopes[2], 3.4999999999999996);  // the elimination's own rounding
}

TEST(SplineSlopes, EndTermsPrescribeHalfTheSecondDerivative) {
    const auto slopes = slopesOf({0.0, 1.0}, {0.0, 0.0}, 1.0, 0.0);
    EXPECT_DOUBLE_EQ(slopes[0], -2.0 / 3.0);
    EXPECT_DOUBLE_EQ(slopes[1], 1.0 / 3.0);
    EXPECT_DOUBLE_EQ(secondDerivativeAtStart(0.0, 1.0, 0.0, 0.0, slopes[0], slopes[1]), 2.0);
}

TEST(SplineSlopes, NaturalSplineIsC2WithFlatEndCurvature) {
    const std::vector<double> x = {0.0, 0.3, 1.1, 1.5, 2.6, 3.0};
    const std::vector<double> y = {1.0, -0.5, 2.0, 0.25, 0.0, 3.0};
    const auto k = slopesOf(x, y);
    const std::size_t n = x.size() - 1;
    EXPECT_NEAR(secondDerivativeAtStart(x[0], x[1], y[0], y[1], k[0], k[1]), 0.0, 1e-9);
    EXPECT_NEAR(secondDerivativeAtEnd(x[n - 1], x[n], y[n - 1], y[n], k[n - 1], k[n]), 0.0, 1e-9);
    for (std::size_t i = 1; i < n; ++i) {
        EXPECT_NEAR(secondDerivativeAtEnd(x[i - 1], x[i], y[i - 1], y[i], k[i - 1], k[i]),
                    secondDerivativeAtStart(x[i], x[i + 1], y[i], y[i + 1], k[i], k[i + 1]), 1e-9)
            << "knot " << i;
    }
}
