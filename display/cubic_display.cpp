#include "display/cubic_display.h"

#include <GL/freeglut.h>
#include <GL/gl.h>
#include <GL/glu.h>

#include "app/globals.h"
#include "geometry/vector3.h"
#include "surface/surface_grid.h"

namespace {

struct Point {
    double x;
    double y;
    double z;
};

Vector3 display(const Point& p) {
    return Vector3(p.y, p.z, p.x);
}
Vector3 display(const SurfaceSample& p) {
    return Vector3(p.y, p.z, p.x);
}

// Edge curve of column k from row i (t = 0) to row i + 1 (t = 1), with the
// slopes per radian scaled to one grid step.
Point edgePoint(int i, int k, double t) {
    const double h00 = 2.0 * t * t * t - 3.0 * t * t + 1.0;
    const double h01 = -2.0 * t * t * t + 3.0 * t * t;
    const double h10 = t * t * t - 2.0 * t * t + t;
    const double h11 = t * t * t - t * t;
    const double du = curveParams[i + 1] - curveParams[i];
    const SurfaceSample& p0 = surfacePoints[i][k];
    const SurfaceSample& p1 = surfacePoints[i + 1][k];
    const SurfaceSample& d0 = tangentU[i][k];
    const SurfaceSample& d1 = tangentU[i + 1][k];
    return Point{h00 * p0.x + h01 * p1.x + h10 * du * d0.x + h11 * du * d1.x,
                 h00 * p0.y + h01 * p1.y + h10 * du * d0.y + h11 * du * d1.y,
                 h00 * p0.z + h01 * p1.z + h10 * du * d0.z + h11 * du * d1.z};
}

void setStripColour(double cellShade) {
    const double green = (0.9 - animPhase) * cellShade + 0.2;
    const double blue = animPhase * cellShade + 0.2;
    glColor3f(0.0f, static_cast<GLfloat>(green), static_cast<GLfloat>(blue));
}

void sendVertex(const Point& p) {
    glVertex3f(static_cast<GLfloat>(p.y), static_cast<GLfloat>(p.z), static_cast<GLfloat>(p.x));
}

}  // namespace

void displayCubic() {
    const Vector3 eye(eyePos.x, eyePos.y, eyePos.z);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(eyePos.x, eyePos.y, eyePos.z, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);

    for (int i = 0; i < lastRow; ++i) {
        for (int j = 0; j < lastCol; ++j) {
            const Vector3 a = display(surfacePoints[i][j]);
            const Vector3 b = display(surfacePoints[i + 1][j]);
            const Vector3 c = display(surfacePoints[i][j + 1]);
            double cellShade = unit(eye).dot(unit((b - a).cross(c - a)));

            glBegin(GL_QUAD_STRIP);
            for (double t = 0.0; t <= 1.0; t = t + StripStep) {
                const Point left = edgePoint(i, j, t);
                const Point right = edgePoint(i, j + 1, t);
                if (t != 0.0) {
                    // The strip's own normal replaces the corner normal.
                    const Vector3 e1 = unit(display(left) - display(right));
                    const Vector3 e2 = unit(display(left) - a);
                    cellShade = unit(eye).dot(unit(e1.cross(e2)));
                }
                setStripColour(cellShade);
                sendVertex(left);
                sendVertex(right);
            }
            glEnd();
        }
    }
    glutSwapBuffers();
}
