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

// How a patch takes the stored derivatives: per radian, as stored (the
// viewer draws this), or scaled by the parameter steps of its cell, so that
// the unit parameter square spans one grid step each way.
enum class Derivatives { PerRadian, PerStep };

// Geometry matrix of one field of cell (i, j): values and tangentW at rows i
// and i + 1 in rows 0 and 1, tangentU and twists in rows 2 and 3; columns 0
// and 2 belong to column j, 1 and 3 to column j + 1. PerStep scales the
// derivatives by the cell's steps (scaledToSteps).
Matrix4 geometryMatrix(int i, int j, double SurfaceSample::*field,
                       Derivatives derivatives = Derivatives::PerRadian);

// G with its derivatives converted to steps du along the curve and dw
// around the tube: tangentW times dw, tangentU times du, twists times du,
// then dw.
Matrix4 scaledToSteps(const Matrix4& G, double du, double dw);

// (fergusonBasis * G) * fergusonBasisT.
Matrix4 coefficientMatrix(const Matrix4& G);
