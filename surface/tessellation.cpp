#include "surface/tessellation.h"

void evaluateCorners(const Matrix4& cx, const Matrix4& cy, const Matrix4& cz, PatchCorners& out) {
    for (int ku = 0; ku < CornersPerSide; ++ku) {
        for (int kw = 0; kw < CornersPerSide; ++kw) {
            const double u = tessellation.corner[ku];
            const double w = tessellation.corner[kw];
            float* v = out.vertex[ku][kw];
            v[0] = static_cast<float>(evalPatch(u, w, cy));
            v[1] = static_cast<float>(evalPatch(u, w, cz));
            v[2] = static_cast<float>(evalPatch(u, w, cx));
        }
    }
}

void evaluateCellCorners(int i, int j, Derivatives derivatives, PatchCorners& out) {
    const Matrix4 cx = coefficientMatrix(geometryMatrix(i, j, &SurfaceSample::x, derivatives));
    const Matrix4 cy = coefficientMatrix(geometryMatrix(i, j, &SurfaceSample::y, derivatives));
    const Matrix4 cz = coefficientMatrix(geometryMatrix(i, j, &SurfaceSample::z, derivatives));
    evaluateCorners(cx, cy, cz, out);
}
