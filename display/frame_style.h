#pragma once
// What the frames show besides the mode: how they are coloured and how the
// Ferguson patches take the stored derivatives. Each host of the displays
// chooses it before drawing; a host that does not (the window) draws the
// shaded frames of the patches as they take the derivatives per radian.

#include "distance/measure.h"
#include "surface/ferguson.h"

enum class Colouring {
    // Ferguson cells in blue by their facing value; the strips shaded by the
    // cosine with the eye and tinted by animPhase.
    Shading,
    // Every Ferguson cell or cubic quad in one colour: the distance colour
    // map at its centre's distance from the exact tube over the scale D,
    // times a brightness from its facing value or cosine with the eye.
    Distance,
};

struct FrameStyle {
    Colouring colouring = Colouring::Shading;
    // PerStep: the Ferguson patches with their derivatives scaled by the
    // cell's parameter steps, all four fields (positions and facing). The
    // cubic strips always scale theirs and have no other choice.
    Derivatives derivatives = Derivatives::PerRadian;
};

// The style of every frame drawn from now on, in both modes.
void setFrameStyle(const FrameStyle& style);
const FrameStyle& frameStyle();

// False for scaled derivatives with the cubic strips (patchMode 1), which
// have no such choice: a host refuses that combination.
bool styleFitsMode(const FrameStyle& style);

// What patchMode and the style draw: Ferguson, FergusonPerStep or Cubic.
Representation drawnRepresentation();

// The scale D of the distance colouring of drawnRepresentation() on the
// current grid, in the grid's units: the largest |distance| from the exact
// tube that the measuring program reports for it. Distances -D and +D get
// the ends of the map. The first call after a sampling measures the
// representation, which takes a while (docs/performance.md): hosts call it
// right after sampling, so that no frame waits for it.
double distanceScale();

// distanceScale() in percent of the tube's radius, as the hosts show it.
double distanceScalePercent();
