#include "display/ferguson_display.h"

#include <GL/freeglut.h>
#include <GL/gl.h>

#include <initializer_list>
#include <type_traits>

#include "app/globals.h"
#include "display/distance_colours.h"
#include "display/frame.h"
#include "display/frame_style.h"
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
// The distance colouring draws the same cells with other colours, and the
// scaled derivatives other patches through the same steps.
namespace {

// Enough for the Ferguson grid (900 patches); a larger grid evaluates the
// patches beyond this every frame.
constexpr int MaxCachedPatches = 1024;

static_assert(std::is_same_v<GLfloat, float>, "the corners are kept as the floats sent");

PatchCorners cornerCache[MaxCachedPatches];
bool cacheFilled = false;
unsigned cachedGeneration = 0;
Derivatives cachedDerivatives = Derivatives::PerRadian;

int cachedPatchCount() {
    const int patches = lastRow * lastCol;
    return patches < MaxCachedPatches ? patches : MaxCachedPatches;
}

void refreshCornerCache(Derivatives derivatives) {
    if (cacheFilled && cachedGeneration == gridGeneration() && cachedDerivatives == derivatives) {
        return;
    }
    const int cached = cachedPatchCount();
    for (int n = 0; n < cached; ++n) {
        evaluateCellCorners(n / lastCol, n % lastCol, derivatives, cornerCache[n]);
    }
    cacheFilled = true;
    cachedGeneration = gridGeneration();
    cachedDerivatives = derivatives;
}

// The shading: blue from the centre facing s.
struct Shade {
    void operator()(int, double s) const {
        glColor3f(0.0f, 0.0f, static_cast<GLfloat>(0.8 * s + 0.2));
    }
};

// The distance colouring: cell n's colour of the map (three floats from
// colour), times the brightness of s.
struct DistanceTint {
    const float* colour;
    void operator()(int n, double s) const {
        const double b = distanceBrightness(s);
        const float* c = colour + 3 * n;
        glColor3f(static_cast<GLfloat>(static_cast<double>(c[0]) * b),
                  static_cast<GLfloat>(static_cast<double>(c[1]) * b),
                  static_cast<GLfloat>(static_cast<double>(c[2]) * b));
    }
};

template <class Colour>
void drawTessellatedPatch(const PatchCorners& corners, const Matrix4& cf, const Colour& colour) {
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
        colour(n, s);
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

template <class Colour>
void drawPatches(Derivatives derivatives, const Colour& colourOf) {
    refreshCornerCache(derivatives);
    const int cached = cachedPatchCount();
    PatchCorners uncached;
    for (int i = 0; i < lastRow; ++i) {
        for (int j = 0; j < lastCol; ++j) {
            const int n = i * lastCol + j;
            const PatchCorners* corners = &uncached;
            if (n < cached) {
                corners = &cornerCache[n];
            } else {
                evaluateCellCorners(i, j, derivatives, uncached);
            }
            const Matrix4 cf =
                coefficientMatrix(geometryMatrix(i, j, &SurfaceSample::facing, derivatives));
            drawTessellatedPatch(*corners, cf, colourOf(n));
        }
    }
}

}  // namespace

void displayFerguson() {
    beginFrame();
    const FrameStyle& style = frameStyle();
    if (style.colouring == Colouring::Distance) {
        const float* colour = cellColours(fergusonRepresentation(style.derivatives));
        drawPatches(style.derivatives,
                    [colour](int n) { return DistanceTint{colour + 3 * n * CellsPerPatch}; });
    } else {
        drawPatches(style.derivatives, [](int) { return Shade{}; });
    }
    glutSwapBuffers();
}
