#include "reference_display.h"

#include <GL/freeglut.h>
#include <GL/gl.h>
#include <GL/glu.h>

#include <initializer_list>

#include "app/globals.h"
#include "display/cubic_display.h"
#include "display/ferguson_display.h"
#include "geometry/vector3.h"
#include "surface/ferguson.h"
#include "surface/surface_grid.h"

void referenceDrawPatch(double u0, double u1, double w0, double w1, const Matrix4& Cx,
                        const Matrix4& Cy, const Matrix4& Cz, const Matrix4& Cf, int depth) {
    const double um = (u0 + u1) / 2;
    const double wm = (w0 + w1) / 2;
    if (depth < PatchSubdivisionDepth) {
        referenceDrawPatch(u0, um, w0, wm, Cx, Cy, Cz, Cf, depth + 1);
        referenceDrawPatch(um, u1, w0, wm, Cx, Cy, Cz, Cf, depth + 1);
        referenceDrawPatch(u0, um, wm, w1, Cx, Cy, Cz, Cf, depth + 1);
        referenceDrawPatch(um, u1, wm, w1, Cx, Cy, Cz, Cf, depth + 1);
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

void referenceDisplayFerguson() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(eyePos.x, eyePos.y, eyePos.z, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);

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
            referenceDrawPatch(0.0, PatchExtent, 0.0, PatchExtent, cx, cy, cz, cf, 0);
        }
    }
    glutSwapBuffers();
}

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

void referenceDisplayCubic() {
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
