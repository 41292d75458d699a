#include "surface/ferguson.h"

constexpr Matrix4 fergusonBasis(1, 0, 0, 0,     //
                                0, 0, 1, 0,     //
                                -3, 3, -2, -1,  //
                                2, -2, 1, 1);
constexpr Matrix4 fergusonBasisT(1, 0, -3, 2,  //
                                 0, 0, 3, -2,  //
                                 0, 1, -2, 1,  //
                                 0, 0, -1, 1);

double evalPatch(double u, double w, Matrix4 C) {
    const double u2 = u * u;
    const double u3 = u2 * u;
    const double w2 = w * w;
    const double w3 = w2 * w;
    double a[4];
    for (int k = 0; k < 4; ++k) {
        a[k] = C.get(0, k) + C.get(1, k) * u + C.get(2, k) * u2 + C.get(3, k) * u3;
    }
    return HPoint(a[0], a[1], a[2], a[3]).dot(HPoint(1.0, w, w2, w3));
}

Matrix4 geometryMatrix(int i, int j, double SurfaceSample::*field, Derivatives derivatives) {
    const auto P = [field](int r, int c) { return surfacePoints[r][c].*field; };
    const auto U = [field](int r, int c) { return tangentU[r][c].*field; };
    const auto W = [field](int r, int c) { return tangentW[r][c].*field; };
    const auto T = [field](int r, int c) { return twists[r][c].*field; };
    const Matrix4 G(P(i, j), P(i, j + 1), W(i, j), W(i, j + 1),                  //
                    P(i + 1, j), P(i + 1, j + 1), W(i + 1, j), W(i + 1, j + 1),  //
                    U(i, j), U(i, j + 1), T(i, j), T(i, j + 1),                  //
                    U(i + 1, j), U(i + 1, j + 1), T(i + 1, j), T(i + 1, j + 1));
    if (derivatives == Derivatives::PerRadian) {
        return G;
    }
    return scaledToSteps(G, curveParams[i + 1] - curveParams[i],
                         sectionParams[j + 1] - sectionParams[j]);
}

Matrix4 scaledToSteps(const Matrix4& G, double du, double dw) {
    Matrix4 S = G;
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 4; ++col) {
            double& e = S.entry(4 * row + col);
            if (row >= 2) {
                e = e * du;
            }
            if (col >= 2) {
                e = e * dw;
            }
        }
    }
    return S;
}

Matrix4 coefficientMatrix(const Matrix4& G) {
    return (fergusonBasis * G) * fergusonBasisT;
}
