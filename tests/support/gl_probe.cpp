// Preloaded into the real viewer (LD_PRELOAD): passes every drawing call on
// to GL and appends one line per frame, from glClear to the buffer swap, to
// the file named by PATCHVIEW_PROBE_OUT: the eye of gluLookAt (hex floats),
// the frame's call digest and its number of calls. Frames of two builds are
// matched by their eye, since how many idle steps run before the first frame
// depends on timing.

#include <GL/gl.h>
#include <GL/glu.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

#include "call_digest.h"

namespace {
CallDigest frame;
double eye[3] = {};

template <class F>
F next(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}
}  // namespace

// The real function of that name, to be called with the same arguments.
#define PASS_ON(name)                                      \
    static const auto real = next<decltype(&name)>(#name); \
    real

extern "C" {
void glClear(GLbitfield mask) {
    frame = CallDigest();
    frame.add(GlOp::Clear, {static_cast<double>(mask)});
    PASS_ON(glClear)(mask);
}
void glMatrixMode(GLenum mode) {
    frame.add(GlOp::MatrixMode, {static_cast<double>(mode)});
    PASS_ON(glMatrixMode)(mode);
}
void glLoadIdentity() {
    frame.add(GlOp::LoadIdentity);
    PASS_ON(glLoadIdentity)();
}
void gluLookAt(GLdouble ex, GLdouble ey, GLdouble ez, GLdouble cx, GLdouble cy, GLdouble cz,
               GLdouble ux, GLdouble uy, GLdouble uz) {
    eye[0] = ex;
    eye[1] = ey;
    eye[2] = ez;
    frame.add(GlOp::LookAt, {ex, ey, ez, cx, cy, cz, ux, uy, uz});
    PASS_ON(gluLookAt)(ex, ey, ez, cx, cy, cz, ux, uy, uz);
}
void glBegin(GLenum mode) {
    frame.add(GlOp::Begin, {static_cast<double>(mode)});
    PASS_ON(glBegin)(mode);
}
void glEnd() {
    frame.add(GlOp::End);
    PASS_ON(glEnd)();
}
void glColor3f(GLfloat r, GLfloat g, GLfloat b) {
    frame.add(GlOp::Color3f, {r, g, b});
    PASS_ON(glColor3f)(r, g, b);
}
void glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
    frame.add(GlOp::Vertex3f, {x, y, z});
    PASS_ON(glVertex3f)(x, y, z);
}
void glXSwapBuffers(void* display, unsigned long drawable) {
    frame.add(GlOp::SwapBuffers);
    static const char* path = std::getenv("PATCHVIEW_PROBE_OUT");
    static std::FILE* out = path ? std::fopen(path, "a") : nullptr;
    if (out) {
        std::fprintf(out, "%a %a %a %016llx %llu\n", eye[0], eye[1], eye[2],
                     static_cast<unsigned long long>(frame.value),
                     static_cast<unsigned long long>(frame.calls));
        std::fflush(out);
    }
    static const auto real = next<void (*)(void*, unsigned long)>("glXSwapBuffers");
    real(display, drawable);
}
}
