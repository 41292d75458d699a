// The GL, GLU and toolkit calls that the display, view and idle code make,
// supplied by the web host: primitives are gathered and drawn as arrays when
// anything else happens, and the rest goes on as it is. Calls between begin
// and end other than colours and vertices are refused, as GL refuses them.

#include <GL/gl.h>
#include <GL/glu.h>

#include "web/gl_backend.h"

namespace {

// A plain global: every vertex passes here, so no guard of a local static.
FrameGatherer gathered;

inline FrameGatherer& gatherer() {
    return gathered;
}

GlBackend* backend = nullptr;

}  // namespace

#if defined(__clang__)
#define PV_INLINE_INTO_CALLERS __attribute__((always_inline))
#else
#define PV_INLINE_INTO_CALLERS
#endif

namespace {

// Draws what waits, before a call that changes what it is drawn with.
bool flushed() {
    FrameGatherer& g = gatherer();
    if (g.inPrimitive()) {
        return false;
    }
    if (g.pending()) {
        if (backend != nullptr) {
            backend->draw(g);
        }
        g.clear();
    }
    return true;
}

}  // namespace

void setGlBackend(GlBackend* b) {
    backend = b;
}

FrameGatherer& glGatherer() {
    return gatherer();
}

extern "C" {

void glClear(GLbitfield mask) {
    if (flushed() && backend != nullptr) {
        backend->clear(mask);
    }
}

void glViewport(GLint x, GLint y, GLsizei width, GLsizei height) {
    if (flushed() && backend != nullptr) {
        backend->viewport(x, y, width, height);
    }
}

void glEnable(GLenum capability) {
    if (flushed() && backend != nullptr) {
        backend->enable(capability);
    }
}

void glDepthFunc(GLenum function) {
    if (flushed() && backend != nullptr) {
        backend->depthFunc(function);
    }
}

void glMatrixMode(GLenum mode) {
    if (flushed()) {
        gatherer().matrixMode(mode);
    }
}

void glLoadIdentity() {
    if (flushed()) {
        gatherer().loadIdentity();
    }
}

void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar) {
    if (flushed()) {
        gatherer().perspective(fovy, aspect, zNear, zFar);
    }
}

void gluLookAt(GLdouble ex, GLdouble ey, GLdouble ez, GLdouble cx, GLdouble cy, GLdouble cz,
               GLdouble ux, GLdouble uy, GLdouble uz) {
    if (flushed()) {
        gatherer().lookAt(ex, ey, ez, cx, cy, cz, ux, uy, uz);
    }
}

PV_INLINE_INTO_CALLERS void glBegin(GLenum mode) {
    if (!gatherer().inPrimitive()) {
        gatherer().begin(mode);
    }
}

PV_INLINE_INTO_CALLERS void glColor3f(GLfloat r, GLfloat g, GLfloat b) {
    gatherer().colour(r, g, b);
}

PV_INLINE_INTO_CALLERS void glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
    gatherer().vertex(x, y, z);
}

PV_INLINE_INTO_CALLERS void glEnd() {
    gatherer().end();
}

void glutSwapBuffers() {
    if (flushed() && backend != nullptr) {
        backend->present();
    }
}

// Every frame is drawn anyway: the page's loop asks for the next one.
void glutPostRedisplay() {}

}  // extern "C"
