#pragma once
// Cubic mode: every grid cell drawn as a quad strip between two cubic
// Hermite edge curves, tinted between green and blue by animPhase.

// Parameter step along a strip: six stations from 0 to exactly 1.
constexpr double StripStep = 0.2;

// Display callback: clears, looks from eyePos at the origin, draws one
// 12-vertex strip per grid cell, shaded by the cosine between the strip
// normal and the direction towards the eye, and swaps the buffers.
void displayCubic();
