#pragma once
// The distance colouring's colours: the colour map, the brightness that
// keeps the shape readable, and each drawn cell's colour before brightness.

#include "distance/measure.h"

// The map's stops at t = -1, -1/2, 0, 1/2 and 1 of the scale, as 8-bit sRGB:
// blue inside the tube, grey on it, red outside.
inline constexpr unsigned char DistanceStops[5][3] = {
    {59, 76, 192}, {141, 176, 254}, {221, 220, 220}, {244, 152, 122}, {180, 4, 38}};

struct Rgb {
    double r;
    double g;
    double b;
};

// The map at t = distance / D: linear in the 8-bit channels between the
// neighbouring stops, as fractions of 255; t is held to [-1, 1], and a t
// that is not a number gives the grey of 0.
Rgb distanceColour(double t);

// A cell's brightness from its facing value or cosine with the eye x, as the
// shading's: 0.8x + 0.2, held to [0.2, 1].
inline double distanceBrightness(double x) {
    const double b = 0.8 * x + 0.2;
    return b < 0.2 ? 0.2 : (b > 1.0 ? 1.0 : b);
}

// The map's colour of every cell of representation r on the current grid,
// before brightness, as floats: three a cell, in the order the display draws
// them. Ferguson: patch by patch in row order, each patch's 256 cells in the
// subdivision's order (tessellation.leafU, leafW); cubic: strip by strip,
// each strip's quads by station. Computed from centreDistances(r) on the
// first call after a sampling.
const float* cellColours(Representation r);
