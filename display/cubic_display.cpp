#include "display/cubic_display.h"

#include <GL/freeglut.h>
#include <GL/gl.h>

#include <type_traits>

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

static_assert(std::is_same_v<GLfloat, float>, "the vertices are kept as the floats sent");

// One strip: its vertices as sent (left, right per station) and the unit
// normal that shades each station.
struct Strip {
    GLfloat vertex[2 * MaxStations][3];
    double normal[MaxStations][3];
};

Strip strips[(MaxGridRows - 1) * (MaxGridCols - 1)];
bool stripsFilled = false;
unsigned stripsGeneration = 0;

void storeNormal(const Vector3& n, double* out) {
    out[0] = n.getX();
    out[1] = n.getY();
    out[2] = n.getZ();
}

void buildStrips() {
    Point edge[MaxGridCols][MaxStations];
    for (int i = 0; i < lastRow; ++i) {
        evaluateEdgeRow(i, edge);
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
                stripVertex(left, strip.vertex[2 * s]);
                stripVertex(right, strip.vertex[2 * s + 1]);
            }
        }
    }
    stripsFilled = true;
    stripsGeneration = gridGeneration();
}

}  // namespace

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
