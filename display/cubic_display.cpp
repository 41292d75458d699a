#include "display/cubic_display.h"

#include <GL/freeglut.h>
#include <GL/gl.h>

#include <type_traits>

#include "app/globals.h"
#include "display/distance_colours.h"
#include "display/frame.h"
#include "display/frame_style.h"
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

constexpr int StationCount = stations.count;

// The strips of grid row i run between the edge curves of that row: strip j
// has edge j on its left and edge j + 1 on its right, so each edge's
// vertices are kept once, as sent, for the two strips that share it. Each
// strip keeps the unit normal that shades each of its stations.
GLfloat edgeVertex[MaxGridRows - 1][MaxGridCols][StationCount][3];
double stripNormal[(MaxGridRows - 1) * (MaxGridCols - 1)][StationCount][3];
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
        for (int k = 0; k <= lastCol; ++k) {
            for (int s = 0; s < StationCount; ++s) {
                stripVertex(edge[k][s], edgeVertex[i][k][s]);
            }
        }
        for (int j = 0; j < lastCol; ++j) {
            double(*normal)[3] = stripNormal[i * lastCol + j];
            const Vector3 a = toDisplayAxes(surfacePoints[i][j]);
            const Vector3 b = toDisplayAxes(surfacePoints[i + 1][j]);
            const Vector3 c = toDisplayAxes(surfacePoints[i][j + 1]);
            Vector3 n = unit((b - a).cross(c - a));
            for (int s = 0; s < StationCount; ++s) {
                if (stations.t[s] != 0.0) {
                    // The strip's own normal replaces the corner normal.
                    const Vector3 e1 = unit(display(edge[j][s]) - display(edge[j + 1][s]));
                    const Vector3 e2 = unit(display(edge[j][s]) - a);
                    n = unit(e1.cross(e2));
                }
                storeNormal(n, normal[s]);
            }
        }
    }
    stripsFilled = true;
    stripsGeneration = gridGeneration();
}

}  // namespace

namespace {

// The shading: each station's cosine with the eye direction, tinted by
// animPhase, on one quad strip per cell.
void drawShadedStrips(double ex, double ey, double ez) {
    const double greenScale = 0.9 - animPhase;
    const double blueScale = animPhase;
    for (int i = 0; i < lastRow; ++i) {
        for (int j = 0; j < lastCol; ++j) {
            const double(*normal)[3] = stripNormal[i * lastCol + j];
            const GLfloat(*left)[3] = edgeVertex[i][j];
            const GLfloat(*right)[3] = edgeVertex[i][j + 1];
            glBegin(GL_QUAD_STRIP);
            for (int s = 0; s < StationCount; ++s) {
                const double cellShade = ex * normal[s][0] + ey * normal[s][1] + ez * normal[s][2];
                glColor3f(0.0f, static_cast<GLfloat>(greenScale * cellShade + 0.2),
                          static_cast<GLfloat>(blueScale * cellShade + 0.2));
                glVertex3f(left[s][0], left[s][1], left[s][2]);
                glVertex3f(right[s][0], right[s][1], right[s][2]);
            }
            glEnd();
        }
    }
}

// The distance colouring: each strip one run of quadrilaterals, each quad in
// one colour, its outline as the strip's (left and right at one station,
// right and left at the next), its brightness from the cosine at the quad's
// far station, whose colour GL's flat shading of the strip would give it.
void drawDistanceQuads(double ex, double ey, double ez) {
    constexpr int Quads = StationCount - 1;
    const float* colour = cellColours(Representation::Cubic);
    for (int i = 0; i < lastRow; ++i) {
        for (int j = 0; j < lastCol; ++j) {
            const double(*normal)[3] = stripNormal[i * lastCol + j];
            const GLfloat(*left)[3] = edgeVertex[i][j];
            const GLfloat(*right)[3] = edgeVertex[i][j + 1];
            const float* c = colour + 3 * Quads * (i * lastCol + j);
            glBegin(GL_QUADS);
            for (int s = 0; s < Quads; ++s, c += 3) {
                const double* n = normal[s + 1];
                const double b = distanceBrightness(ex * n[0] + ey * n[1] + ez * n[2]);
                glColor3f(static_cast<GLfloat>(static_cast<double>(c[0]) * b),
                          static_cast<GLfloat>(static_cast<double>(c[1]) * b),
                          static_cast<GLfloat>(static_cast<double>(c[2]) * b));
                glVertex3f(left[s][0], left[s][1], left[s][2]);
                glVertex3f(right[s][0], right[s][1], right[s][2]);
                glVertex3f(right[s + 1][0], right[s + 1][1], right[s + 1][2]);
                glVertex3f(left[s + 1][0], left[s + 1][1], left[s + 1][2]);
            }
            glEnd();
        }
    }
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
    if (frameStyle().colouring == Colouring::Distance) {
        drawDistanceQuads(towardsEye.getX(), towardsEye.getY(), towardsEye.getZ());
    } else {
        drawShadedStrips(towardsEye.getX(), towardsEye.getY(), towardsEye.getZ());
    }
    glutSwapBuffers();
}
