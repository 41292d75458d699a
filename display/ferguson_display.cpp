#include "display/ferguson_display.h"

#include <GL/freeglut.h>
#include <GL/gl.h>

#include <initializer_list>

#include "app/globals.h"
#include "display/frame.h"
#include "surface/ferguson.h"
#include "surface/surface_grid.h"

void drawPatch(double u0, double u1, double w0, double w1, const Matrix4& Cx, const Matrix4& Cy,
               const Matrix4& Cz, const Matrix4& Cf, int depth) {
    const double um = (u0 + u1) / 2;
    const double wm = (w0 + w1) / 2;
    if (depth < PatchSubdivisionDepth) {
        drawPatch(u0, um, w0, wm, Cx, Cy, Cz, Cf, depth + 1);
        drawPatch(um, u1, w0, wm, Cx, Cy, Cz, Cf, depth + 1);
        drawPatch(u0, um, wm, w1, Cx, Cy, Cz, Cf, depth + 1);
        drawPatch(um, u1, wm, w1, Cx, Cy, Cz, Cf, depth + 1);
        return;
    }

    struct Corner {
        double x;
        double y;
        double z;
    };
    const auto corner = [&](double u, double w) {
        return Corner{evalPatch(u, w, Cx), evalPatch(u, w, Cy), evalPatch(u, w, Cz)};
    };
    const Corner c00 = corner(u0, w0);
    const Corner c01 = corner(u0, w1);
    const Corner c10 = corner(u1, w0);
    const Corner c11 = corner(u1, w1);

    const double s = evalPatch(um, wm, Cf);
    if (!(s >= FacingThreshold)) {  // also skips a centre facing that is not a number
        return;
    }
    glColor3f(0.0f, 0.0f, static_cast<GLfloat>(0.8 * s + 0.2));
    glBegin(GL_POLYGON);
    for (const Corner* c : {&c00, &c01, &c11, &c10}) {
        glVertex3f(static_cast<GLfloat>(c->y), static_cast<GLfloat>(c->z),
                   static_cast<GLfloat>(c->x));
    }
    glEnd();
}

// displayFerguson draws exactly what drawPatch would for every cell, but the
// surface never moves: only the facing channel changes with the eye. So the
// tessellated corner positions are evaluated once per sampling and kept, each
// corner once instead of once per cell that shares it, and per frame only the
// facing patch is evaluated, at the cell centres, with its power-basis rows
// shared along each row of cells. Every value goes through the same
// operations as in drawPatch, so the calls are identical to the last bit.
namespace {

constexpr int CellsPerSide = 1 << PatchSubdivisionDepth;
constexpr int CornersPerSide = CellsPerSide + 1;
constexpr int CellsPerPatch = CellsPerSide * CellsPerSide;
// Enough for the Ferguson grid (900 patches); a larger grid evaluates the
// patches beyond this every frame.
constexpr int MaxCachedPatches = 1024;

// The parameters that drawPatch's subdivision of [0, PatchExtent] produces,
// the same along u and w, and the order in which it visits the leaf cells.
struct Tessellation {
    double corner[CornersPerSide];
    double centre[CellsPerSide];
    double centreSquared[CellsPerSide];
    double centreCubed[CellsPerSide];
    unsigned char leafU[CellsPerPatch];
    unsigned char leafW[CellsPerPatch];
};

constexpr void subdivide(Tessellation& t, int lo, int hi) {
    if (hi - lo < 2) {
        return;
    }
    const int mid = (lo + hi) / 2;
    t.corner[mid] = (t.corner[lo] + t.corner[hi]) / 2;
    subdivide(t, lo, mid);
    subdivide(t, mid, hi);
}

constexpr void orderLeaves(Tessellation& t, int& next, int u0, int w0, int size) {
    if (size == 1) {
        t.leafU[next] = static_cast<unsigned char>(u0);
        t.leafW[next] = static_cast<unsigned char>(w0);
        ++next;
        return;
    }
    const int half = size / 2;
    orderLeaves(t, next, u0, w0, half);
    orderLeaves(t, next, u0 + half, w0, half);
    orderLeaves(t, next, u0, w0 + half, half);
    orderLeaves(t, next, u0 + half, w0 + half, half);
}

constexpr Tessellation makeTessellation() {
    Tessellation t{};
    t.corner[0] = 0.0;
    t.corner[CellsPerSide] = PatchExtent;
    subdivide(t, 0, CellsPerSide);
    for (int k = 0; k < CellsPerSide; ++k) {
        const double c = (t.corner[k] + t.corner[k + 1]) / 2;
        t.centre[k] = c;
        t.centreSquared[k] = c * c;
        t.centreCubed[k] = t.centreSquared[k] * c;
    }
    int next = 0;
    orderLeaves(t, next, 0, 0, CellsPerSide);
    return t;
}

// Evaluated by the compiler under the language's rules: GCC 12 at -O3 once
// computed the centres of a run-time copy of this table wrongly, so no
// optimiser gets to touch it. The pins below are the values that drawPatch's
// halving of [0, 1.05] gives.
constexpr Tessellation tessellation = makeTessellation();
static_assert(tessellation.corner[1] == 0x1.0cccccccccccdp-4 &&
              tessellation.corner[5] == 0.328125 && tessellation.corner[15] == 0.984375 &&
              tessellation.corner[16] == PatchExtent);
static_assert(tessellation.centre[0] == 0x1.0cccccccccccdp-5 &&
              tessellation.centre[7] == 0.4921875 &&
              tessellation.centre[15] == 0x1.0466666666666p+0);
static_assert(tessellation.centreSquared[15] == 0x1.08e028f5c28f5p+0 &&
              tessellation.centreCubed[15] == 0x1.0d6d9cdd2f1a9p+0);
// drawPatch's visiting order: the four quarters, each in the same order.
static_assert(tessellation.leafU[1] == 1 && tessellation.leafW[1] == 0 &&
              tessellation.leafU[2] == 0 && tessellation.leafW[2] == 1 &&
              tessellation.leafU[4] == 2 && tessellation.leafW[255] == 15);

// Corner vertices of one patch in display axes, as sent to GL.
struct PatchCorners {
    GLfloat vertex[CornersPerSide][CornersPerSide][3];
};

PatchCorners cornerCache[MaxCachedPatches];
bool cacheFilled = false;
unsigned cachedGeneration = 0;

void evaluateCorners(int i, int j, PatchCorners& out) {
    const Matrix4 cx = coefficientMatrix(geometryMatrix(i, j, &SurfaceSample::x));
    const Matrix4 cy = coefficientMatrix(geometryMatrix(i, j, &SurfaceSample::y));
    const Matrix4 cz = coefficientMatrix(geometryMatrix(i, j, &SurfaceSample::z));
    for (int ku = 0; ku < CornersPerSide; ++ku) {
        for (int kw = 0; kw < CornersPerSide; ++kw) {
            const double u = tessellation.corner[ku];
            const double w = tessellation.corner[kw];
            GLfloat* v = out.vertex[ku][kw];
            v[0] = static_cast<GLfloat>(evalPatch(u, w, cy));
            v[1] = static_cast<GLfloat>(evalPatch(u, w, cz));
            v[2] = static_cast<GLfloat>(evalPatch(u, w, cx));
        }
    }
}

int cachedPatchCount() {
    const int patches = lastRow * lastCol;
    return patches < MaxCachedPatches ? patches : MaxCachedPatches;
}

void refreshCornerCache() {
    if (cacheFilled && cachedGeneration == gridGeneration()) {
        return;
    }
    const int cached = cachedPatchCount();
    for (int n = 0; n < cached; ++n) {
        evaluateCorners(n / lastCol, n % lastCol, cornerCache[n]);
    }
    cacheFilled = true;
    cachedGeneration = gridGeneration();
}

void drawTessellatedPatch(const PatchCorners& corners, const Matrix4& cf) {
    // Rows of the facing patch at each centre u, as evalPatch forms them.
    double row[CellsPerSide][4];
    for (int ku = 0; ku < CellsPerSide; ++ku) {
        const double u = tessellation.centre[ku];
        const double u2 = tessellation.centreSquared[ku];
        const double u3 = tessellation.centreCubed[ku];
        for (int k = 0; k < 4; ++k) {
            row[ku][k] = cf.get(0, k) + cf.get(1, k) * u + cf.get(2, k) * u2 + cf.get(3, k) * u3;
        }
    }
    for (int n = 0; n < CellsPerPatch; ++n) {
        const int ku = tessellation.leafU[n];
        const int kw = tessellation.leafW[n];
        const double* a = row[ku];
        const double s = a[0] * 1.0 + a[1] * tessellation.centre[kw] +
                         a[2] * tessellation.centreSquared[kw] +
                         a[3] * tessellation.centreCubed[kw];
        if (!(s >= FacingThreshold)) {
            continue;
        }
        glColor3f(0.0f, 0.0f, static_cast<GLfloat>(0.8 * s + 0.2));
        glBegin(GL_POLYGON);
        const GLfloat* v = corners.vertex[ku][kw];
        glVertex3f(v[0], v[1], v[2]);
        v = corners.vertex[ku][kw + 1];
        glVertex3f(v[0], v[1], v[2]);
        v = corners.vertex[ku + 1][kw + 1];
        glVertex3f(v[0], v[1], v[2]);
        v = corners.vertex[ku + 1][kw];
        glVertex3f(v[0], v[1], v[2]);
        glEnd();
    }
}

}  // namespace

void displayFerguson() {
    beginFrame();

    refreshCornerCache();
    const int cached = cachedPatchCount();
    PatchCorners uncached;
    for (int i = 0; i < lastRow; ++i) {
        for (int j = 0; j < lastCol; ++j) {
            const int n = i * lastCol + j;
            const PatchCorners* corners = &uncached;
            if (n < cached) {
                corners = &cornerCache[n];
            } else {
                evaluateCorners(i, j, uncached);
            }
            const Matrix4 cf = coefficientMatrix(geometryMatrix(i, j, &SurfaceSample::facing));
            drawTessellatedPatch(*corners, cf);
        }
    }
    glutSwapBuffers();
}
