#pragma once
// The straightforward frame algorithms: every patch tessellated by drawPatch
// from freshly built coefficient matrices, every edge curve and normal
// recomputed, every frame.
// The displays produce exactly their call streams, faster; the benchmarks
// report the speed-ups.

void referenceDisplayFerguson();
void referenceDisplayCubic();
