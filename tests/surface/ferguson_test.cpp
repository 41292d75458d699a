#include <gtest/gtest.h>

#include "app/globals.h"
#include "surface/ferguson.h"
#include "surface/surface_grid.h"

namespace {

Matrix4 single(int row, int col) {
    double e[16] = {};
    e[4 * row + col] = 1.0;
    return Matrix4(e[0], e[1], e[2], e[3], e[4], e[5], e[6], e[7], e[8], e[9], e[10], e[11], e[12],
                   e[13], e[14], e[15]);
}

}  // namespace

TEST(FergusonBasis, TransposeIsWrittenOutExactly) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            EXPECT_EQ(fergusonBasisT.get(r, c), fergusonBasis.get(c, r));
        }
    }
    const Matrix4 p = fergusonBasis * fergusonBasisT;
    EXPECT_EQ(p.get(0, 0), 1.0);
    EXPECT_EQ(p.get(0, 1), 0.0);
    EXPECT_EQ(p.get(0, 2), -3.0);
    EXPECT_EQ(p.get(0, 3), 2.0);
}

TEST(EvalPatch, PowerBasisTerms) {
    EXPECT_EQ(evalPatch(0.0, 0.5, single(0, 3)), 0.125);
    EXPECT_EQ(evalPatch(0.5, 0.0, single(0, 3)), 0.0);
    EXPECT_EQ(evalPatch(0.5, 0.0, single(3, 0)), 0.125);
    EXPECT_EQ(evalPatch(0.5, 0.25, single(1, 2)), 0.5 * 0.0625);
}

TEST(EvalPatch, UnitCornersGiveAConstantPatch) {
    const Matrix4 G(1, 1, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    const Matrix4 C = coefficientMatrix(G);
    for (const double u : {0.0, 0.3, 0.65, 1.0}) {
        for (const double w : {0.0, 0.1, 0.5, 1.0}) {
            EXPECT_NEAR(evalPatch(u, w, C), 1.0, 1e-15);
        }
    }
}

TEST(EvalPatch, GridCellCornersAndDerivatives) {
    curveStepDeg = 4;
    sectionStepDeg = 72;
    eyePos = {0.0, 0.0, 5.0};
    sampleSurface();
    const double h = 1e-6;
    using Field = double SurfaceSample::*;
    for (const Field f :
         {&SurfaceSample::x, &SurfaceSample::y, &SurfaceSample::z, &SurfaceSample::facing}) {
        for (const auto& [i, j] : {std::pair{0, 0}, std::pair{57, 3}, std::pair{179, 4}}) {
            const Matrix4 C = coefficientMatrix(geometryMatrix(i, j, f));
            EXPECT_NEAR(evalPatch(0, 0, C), surfacePoints[i][j].*f, 1e-12);
            EXPECT_NEAR(evalPatch(1, 0, C), surfacePoints[i + 1][j].*f, 1e-12);
            EXPECT_NEAR(evalPatch(0, 1, C), surfacePoints[i][j + 1].*f, 1e-12);
            EXPECT_NEAR(evalPatch(1, 1, C), surfacePoints[i + 1][j + 1].*f, 1e-12);
            // Derivatives enter per radian, unscaled by the grid step.
            const double du = (evalPatch(h, 0, C) - evalPatch(-h, 0, C)) / (2 * h);
            const double dw = (evalPatch(0, h, C) - evalPatch(0, -h, C)) / (2 * h);
            const double duw = (evalPatch(h, h, C) - evalPatch(h, -h, C) - evalPatch(-h, h, C) +
                                evalPatch(-h, -h, C)) /
                               (4 * h * h);
            EXPECT_NEAR(du, tangentU[i][j].*f, 1e-6);
            EXPECT_NEAR(dw, tangentW[i][j].*f, 1e-6);
            EXPECT_NEAR(duw, twists[i][j].*f, 1e-3);
        }
    }
}
