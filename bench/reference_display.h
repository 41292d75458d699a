#pragma once
// The straightforward frame algorithms: every patch tessellated by drawPatch
// from freshly built coefficient matrices, every edge curve and normal
// recomputed, every frame.
// The displays must produce exactly their call streams; benchmarks report
// speed-ups against them.

void referenceDisplayFerguson();
void referenceDisplayCubic();
