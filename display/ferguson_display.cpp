#include "display/ferguson_display.h"

#include <GL/freeglut.h>
#include <GL/gl.h>
#include <GL/glu.h>

#include <initializer_list>

#include "app/globals.h"
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

void displayFerguson() {
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
            drawPatch(0.0, PatchExtent, 0.0, PatchExtent, cx, cy, cz, cf, 0);
        }
    }
    glutSwapBuffers();
}
