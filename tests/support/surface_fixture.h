#pragma once
// Start-up as the shell does it, without the console, and a digest of the
// sampled surface.

#include "app/globals.h"
#include "call_digest.h"
#include "surface/surface_grid.h"

// Samples with the steps of a menu choice: section step 72 is Ferguson mode,
// 8 cubic mode; the eye and the phase start where the program starts them.
inline void startUp(int sectionStep) {
    patchMode = sectionStep == 72 ? 0 : 1;
    curveStepDeg = 4;
    sectionStepDeg = sectionStep;
    orbitStepDeg = 10.0;
    eyePos = {0.0, 0.0, 5.0};
    animPhase = 0.6f;
    sampleSurface();
}

// Every double of the four grids within lastRow and lastCol, row by row,
// then the parameters of the rows and of the columns.
inline std::uint64_t gridDigest() {
    CallDigest d;
    for (const auto* grid : {surfacePoints, tangentU, tangentW, twists}) {
        for (int i = 0; i <= lastRow; ++i) {
            d.fold(&grid[i][0].x, 4 * (lastCol + 1));
        }
    }
    d.fold(curveParams, lastRow + 1);
    d.fold(sectionParams, lastCol + 1);
    return d.value;
}
