#pragma once
// Cubic mode: every grid cell drawn as a quad strip between two cubic
// Hermite edge curves, tinted between green and blue by animPhase.

// Parameter step along a strip: six stations from 0 to exactly 1.
constexpr double StripStep = 0.2;

// A point in surface coordinates.
struct EdgePoint {
    double x;
    double y;
    double z;
};

// Point at t of the cubic Hermite edge curve of column k from grid row i
// (t = 0) to row i + 1 (t = 1): the derivatives along the curve, stored per
// radian, are scaled to one grid step.
EdgePoint edgeCurvePoint(int i, int k, double t);

// Display callback: clears, looks from eyePos at the origin, draws one
// 12-vertex strip per grid cell, shaded by the cosine between the strip
// normal and the direction towards the eye, and swaps the buffers.
void displayCubic();
