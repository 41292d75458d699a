#include "display/frame_style.h"

#include "app/globals.h"
#include "distance/centre_distances.h"
#include "surface/surface_grid.h"

namespace {
FrameStyle style;
}  // namespace

void setFrameStyle(const FrameStyle& s) {
    style = s;
}

const FrameStyle& frameStyle() {
    return style;
}

bool styleFitsMode(const FrameStyle& s) {
    return patchMode == 0 || s.derivatives == Derivatives::PerRadian;
}

Representation drawnRepresentation() {
    return patchMode == 0 ? fergusonRepresentation(style.derivatives) : Representation::Cubic;
}

double distanceScale() {
    return centreDistances(drawnRepresentation()).scale;
}

double distanceScalePercent() {
    return distanceScale() / tubeRadius * 100.0;
}
