#pragma once
// How a Ferguson patch is tessellated for drawing: the parameters of its
// corners and cell centres, the order in which the recursive subdivision
// visits the cells, and the corner positions as the floats sent to GL.

#include "geometry/matrix4.h"
#include "surface/ferguson.h"

// Subdivision levels of a patch: 4 gives 16 x 16 cells.
constexpr int PatchSubdivisionDepth = 4;
// Patches are drawn over [0, PatchExtent]^2 so that each overlaps the start
// of its neighbours in u and w.
constexpr double PatchExtent = 1.05;

constexpr int CellsPerSide = 1 << PatchSubdivisionDepth;
constexpr int CornersPerSide = CellsPerSide + 1;
constexpr int CellsPerPatch = CellsPerSide * CellsPerSide;

// The parameters that halving [0, PatchExtent] PatchSubdivisionDepth times
// produces, the same along u and w, and the order in which the subdivision
// visits the leaf cells: quarters (low u, low w), (high u, low w),
// (low u, high w), (high u, high w), each in the same order.
struct Tessellation {
    double corner[CornersPerSide];
    double centre[CellsPerSide];
    double centreSquared[CellsPerSide];
    double centreCubed[CellsPerSide];
    unsigned char leafU[CellsPerPatch];
    unsigned char leafW[CellsPerPatch];

    static constexpr Tessellation make() {
        Tessellation t{};
        t.corner[0] = 0.0;
        t.corner[CellsPerSide] = PatchExtent;
        t.subdivide(0, CellsPerSide);
        for (int k = 0; k < CellsPerSide; ++k) {
            const double c = (t.corner[k] + t.corner[k + 1]) / 2;
            t.centre[k] = c;
            t.centreSquared[k] = c * c;
            t.centreCubed[k] = t.centreSquared[k] * c;
        }
        int next = 0;
        t.orderLeaves(next, 0, 0, CellsPerSide);
        return t;
    }

  private:
    constexpr void subdivide(int lo, int hi) {
        if (hi - lo < 2) {
            return;
        }
        const int mid = (lo + hi) / 2;
        corner[mid] = (corner[lo] + corner[hi]) / 2;
        subdivide(lo, mid);
        subdivide(mid, hi);
    }

    constexpr void orderLeaves(int& next, int u0, int w0, int size) {
        if (size == 1) {
            leafU[next] = static_cast<unsigned char>(u0);
            leafW[next] = static_cast<unsigned char>(w0);
            ++next;
            return;
        }
        const int half = size / 2;
        orderLeaves(next, u0, w0, half);
        orderLeaves(next, u0 + half, w0, half);
        orderLeaves(next, u0, w0 + half, half);
        orderLeaves(next, u0 + half, w0 + half, half);
    }
};

// Evaluated by the compiler under the language's rules: GCC 12 at -O3 once
// computed the centres of a run-time copy of this table wrongly, so no
// optimiser gets to touch it. The pins below are the values that the
// recursive halving of [0, 1.05] gives.
inline constexpr Tessellation tessellation = Tessellation::make();
static_assert(tessellation.corner[1] == 0x1.0cccccccccccdp-4 &&
              tessellation.corner[5] == 0.328125 && tessellation.corner[15] == 0.984375 &&
              tessellation.corner[16] == PatchExtent);
static_assert(tessellation.centre[0] == 0x1.0cccccccccccdp-5 &&
              tessellation.centre[7] == 0.4921875 &&
              tessellation.centre[15] == 0x1.0466666666666p+0);
static_assert(tessellation.centreSquared[15] == 0x1.08e028f5c28f5p+0 &&
              tessellation.centreCubed[15] == 0x1.0d6d9cdd2f1a9p+0);
// The subdivision's visiting order: the four quarters, each in the same order.
static_assert(tessellation.leafU[1] == 1 && tessellation.leafW[1] == 0 &&
              tessellation.leafU[2] == 0 && tessellation.leafW[2] == 1 &&
              tessellation.leafU[4] == 2 && tessellation.leafW[255] == 15);

// Corner vertices of one patch, [ku][kw] at (corner[ku], corner[kw]), in
// display axes (y, z, x): exactly the floats sent to glVertex3f.
struct PatchCorners {
    float vertex[CornersPerSide][CornersPerSide][3];
};

// The corners of the patch with coefficient matrices cx, cy and cz, each
// coordinate evaluated by evalPatch and rounded to float.
void evaluateCorners(const Matrix4& cx, const Matrix4& cy, const Matrix4& cz, PatchCorners& out);

// The corners of grid cell (i, j)'s patch, from the coefficient matrices of
// its x, y and z geometry matrices with the derivatives taken as given.
void evaluateCellCorners(int i, int j, Derivatives derivatives, PatchCorners& out);
