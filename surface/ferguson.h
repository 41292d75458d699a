#pragma once
// Ferguson (bicubic Hermite) patches over the grid cells.

#include "geometry/matrix4.h"
#include "surface/surface_grid.h"

// [1, u, u^2, u^3] * fergusonBasis gives the Hermite weights of start value,
// end value, start derivative and end derivative.
extern const Matrix4 fergusonBasis;
extern const Matrix4 fergusonBasisT;

// [1, u, u^2, u^3] * C * [1, w, w^2, w^3]^T.
double evalPatch(double u, double w, Matrix4 C);

// Geometry matrix of one field of cell (i, j): values and tangentW at rows i
// and i + 1 in rows 0 and 1, tangentU and twists in rows 2 and 3; columns 0
// and 2 belong to column j, 1 and 3 to column j + 1. Derivatives enter per
// radian, unscaled.
Matrix4 geometryMatrix(int i, int j, double SurfaceSample::*field);

// (fergusonBasis * G) * fergusonBasisT.
Matrix4 coefficientMatrix(const Matrix4& G);
