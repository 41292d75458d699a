#include "bench/reference_display.h"

#include <GL/freeglut.h>
#include <GL/gl.h>

#include "app/globals.h"
#include "display/cubic_display.h"
#include "display/ferguson_display.h"
#include "display/frame.h"
#include "geometry/vector3.h"
#include "surface/ferguson.h"
#include "surface/surface_grid.h"

void referenceDisplayFerguson() {
    beginFrame();

    for (int i = 0; i < lastRow; ++i) {
        for (int j = 0; j < lastCol; ++j) {
            const Matrix4 gx = geometryMatrix(i, j, &SurfaceSample::x);
            const Matrix4 gy = geometryMatrix(i, j, &SurfaceSample::y);
            const Matrix4 gz = geometryMatrix(i, j, &SurfaceSample::z);
            const Matrix4 gf = geometryMatrix(i, j, &SurfaceSample::facing);
            const Matrix4 cx = coefficientMatrix(gx);
            const Matrix4 cy = coefficientMatrix(gy);
            const Matrix4 cz = coefficientMatrix(gz);
            const Matrix4 cf = coefficientMatrix(gf);
            drawPatch(0.0, PatchExtent, 0.0, PatchExtent, cx, cy, cz, cf, 0);
        }
    }
    glutSwapBuffers();
}

namespace {

using Point = EdgePoint;

Vector3 display(const Point& p) {
    return Vector3(p.y, p.z, p.x);
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

void referenceDisplayCubic() {
    const Vector3 eye(eyePos.x, eyePos.y, eyePos.z);
    beginFrame();

    for (int i = 0; i < lastRow; ++i) {
        for (int j = 0; j < lastCol; ++j) {
            const Vector3 a = toDisplayAxes(surfacePoints[i][j]);
            const Vector3 b = toDisplayAxes(surfacePoints[i + 1][j]);
            const Vector3 c = toDisplayAxes(surfacePoints[i][j + 1]);
            double cellShade = unit(eye).dot(unit((b - a).cross(c - a)));

            glBegin(GL_QUAD_STRIP);
            for (double t = 0.0; t <= 1.0; t = t + StripStep) {
                const Point left = edgeCurvePoint(i, j, t);
                const Point right = edgeCurvePoint(i, j + 1, t);
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
