#pragma once
// The straightforward frame algorithms: every patch corner evaluated per
// cell, coefficient matrices rebuilt and edge curves recomputed every frame.
// The displays must produce exactly their call streams; benchmarks report
// speed-ups against them.

#include "geometry/matrix4.h"

void referenceDisplayFerguson();
void referenceDisplayCubic();
void referenceDrawPatch(double u0, double u1, double w0, double w1, const Matrix4& Cx,
                        const Matrix4& Cy, const Matrix4& Cz, const Matrix4& Cf, int depth);
