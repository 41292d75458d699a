#pragma once
// Cubic mode: every grid cell drawn as a quad strip between two cubic
// Hermite edge curves, tinted between green and blue by animPhase.

// StripStep, the stations and the edge curves that the strips are built of.
#include "surface/edge_curve.h"

// Display callback: clears, looks from eyePos at the origin, draws one
// 12-vertex strip per grid cell, shaded by the cosine between the strip
// normal and the direction towards the eye, and swaps the buffers.
void displayCubic();
