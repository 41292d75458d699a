#include "display/cubic_display.h"

#include <GL/freeglut.h>
#include <GL/gl.h>

#include "app/globals.h"
#include "display/frame.h"
#include "geometry/vector3.h"
#include "surface/surface_grid.h"

// The surface never moves, so the strip vertices and the normals that shade
// them are computed once per sampling, each edge curve once; a frame only
// takes the cosines with the eye direction and sends the calls. The values
// are those of the straightforward per-frame computation, to the last bit.
namespace {

using Point = EdgePoint;

Vector3 display(const Point& p) {
    return Vector3(p.y, p.z, p.x);
}

// Stations 0, 0.2, ... while not past 1, stepped as a user of the strip
// would: six, the last exactly 1.
constexpr int MaxStations = 8;
struct Stations {
    double t[MaxStations];
    int count;
};

constexpr Stations makeStations() {
    Stations s{};
    for (double t = 0.0; t <= 1.0 && s.count < MaxStations; t = t + StripStep) {
        s.t[s.count++] = t;
    }
    return s;
}

// Computed by the compiler, so that no optimiser can change the stations.
constexpr Stations stations = makeStations();
static_assert(stations.count == 6 && stations.t[3] == 0x1.3333333333334p-1 && stations.t[5] == 1.0);

// One strip: its vertices as sent (left, right per station) and the unit
// normal that shades each station.
struct Strip {
    GLfloat vertex[2 * MaxStations][3];
    double normal[MaxStations][3];
};

Strip strips[(MaxGridRows - 1) * (MaxGridCols - 1)];
bool stripsFilled = false;
unsigned stripsGeneration = 0;

void storeVertex(const Point& p, GLfloat* out) {
    out[0] = static_cast<GLfloat>(p.y);
    out[1] = static_cast<GLfloat>(p.z);
    out[2] = static_cast<GLfloat>(p.x);
}

void storeNormal(const Vector3& n, double* out) {
    out[0] = n.getX();
    out[1] = n.getY();
    out[2] = n.getZ();
}

void buildStrips() {
    Point edge[MaxGridCols][MaxStations];
    for (int i = 0; i < lastRow; ++i) {
        for (int k = 0; k <= lastCol; ++k) {
            for (int s = 0; s < stations.count; ++s) {
                edge[k][s] = edgeCurvePoint(i, k, stations.t[s]);
            }
        }
        for (int j = 0; j < lastCol; ++j) {
            Strip& strip = strips[i * lastCol + j];
            const Vector3 a = toDisplayAxes(surfacePoints[i][j]);
            const Vector3 b = toDisplayAxes(surfacePoints[i + 1][j]);
            const Vector3 c = toDisplayAxes(surfacePoints[i][j + 1]);
            Vector3 n = unit((b - a).cross(c - a));
            for (int s = 0; s < stations.count; ++s) {
                const Point& left = edge[j][s];
                const Point& right = edge[j + 1][s];
                if (stations.t[s] != 0.0) {
                    // The strip's own normal replaces the corner normal.
                    const Vector3 e1 = unit(display(left) - display(right));
                    const Vector3 e2 = unit(display(left) - a);
                    n = unit(e1.cross(e2));
                }
                storeNormal(n, strip.normal[s]);
                storeVertex(left, strip.vertex[2 * s]);
                storeVertex(right, strip.vertex[2 * s + 1]);
            }
        }
    }
    stripsFilled = true;
    stripsGeneration = gridGeneration();
}

}  // namespace

EdgePoint edgeCurvePoint(int i, int k, double t) {
    const double h00 = 2.0 * t * t * t - 3.0 * t * t + 1.0;
    const double h01 = -2.0 * t * t * t + 3.0 * t * t;
    const double h10 = t * t * t - 2.0 * t * t + t;
    const double h11 = t * t * t - t * t;
    const double du = curveParams[i + 1] - curveParams[i];
    const SurfaceSample& p0 = surfacePoints[i][k];
    const SurfaceSample& p1 = surfacePoints[i + 1][k];
    const SurfaceSample& d0 = tangentU[i][k];
    const SurfaceSample& d1 = tangentU[i + 1][k];
    return EdgePoint{h00 * p0.x + h01 * p1.x + h10 * du * d0.x + h11 * du * d1.x,
                     h00 * p0.y + h01 * p1.y + h10 * du * d0.y + h11 * du * d1.y,
                     h00 * p0.z + h01 * p1.z + h10 * du * d0.z + h11 * du * d1.z};
}

void displayCubic() {
    const Vector3 eye(eyePos.x, eyePos.y, eyePos.z);
    beginFrame();

    if (!stripsFilled || stripsGeneration != gridGeneration()) {
        buildStrips();
    }
    // The cosine is unit(eye).dot(normal), summed in the order of Vector3::dot.
    const Vector3 towardsEye = unit(eye);
    const double ex = towardsEye.getX();
    const double ey = towardsEye.getY();
    const double ez = towardsEye.getZ();
    const double greenScale = 0.9 - animPhase;
    const double blueScale = animPhase;
    const int count = lastRow * lastCol;
    for (int n = 0; n < count; ++n) {
        const Strip& strip = strips[n];
        glBegin(GL_QUAD_STRIP);
        for (int s = 0; s < stations.count; ++s) {
            const double* normal = strip.normal[s];
            const double cellShade = ex * normal[0] + ey * normal[1] + ez * normal[2];
            glColor3f(0.0f, static_cast<GLfloat>(greenScale * cellShade + 0.2),
                      static_cast<GLfloat>(blueScale * cellShade + 0.2));
            const GLfloat* left = strip.vertex[2 * s];
            const GLfloat* right = strip.vertex[2 * s + 1];
            glVertex3f(left[0], left[1], left[2]);
            glVertex3f(right[0], right[1], right[2]);
        }
        glEnd();
    }
    glutSwapBuffers();
}
