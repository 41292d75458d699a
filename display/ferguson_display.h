#pragma once
// Ferguson mode: every grid cell drawn as a bicubic Hermite patch,
// tessellated, culled and shaded by its facing channel.

#include "geometry/matrix4.h"
// PatchSubdivisionDepth, PatchExtent and the tessellation that they give.
#include "surface/tessellation.h"

// Cells whose centre facing is below this are not drawn.
constexpr double FacingThreshold = 0.001;

// Display callback: clears, looks from eyePos at the origin, draws one patch
// per grid cell and swaps the buffers.
void displayFerguson();

// Draws the patch with coefficient matrices Cx, Cy, Cz (position) and Cf
// (facing) over [u0, u1] x [w0, w1], subdividing from depth down to
// PatchSubdivisionDepth. Each leaf cell becomes one blue polygon in display
// axes (y, z, x), unless its centre facing is below FacingThreshold.
void drawPatch(double u0, double u1, double w0, double w1, const Matrix4& Cx, const Matrix4& Cy,
               const Matrix4& Cz, const Matrix4& Cf, int depth);
