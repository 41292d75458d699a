#include "gl_recorder.h"

#include <GL/freeglut.h>
#include <GL/gl.h>
#include <GL/glu.h>

#include <cstring>
#include <initializer_list>
#include <sstream>

namespace glrec {
namespace {
Mode mode = Mode::Record;
std::vector<GlCall> recorded;
std::size_t counts[static_cast<std::size_t>(GlOp::PostRedisplay) + 1];
std::size_t total = 0;
}  // namespace

std::string windowTitle;
void (*displayCallback)() = nullptr;
void (*idleCallback)() = nullptr;
void (*reshapeCallback)(int, int) = nullptr;
void (*keyboardCallback)(unsigned char, int, int) = nullptr;

void reset(Mode newMode) {
    mode = newMode;
    recorded.clear();
    std::memset(counts, 0, sizeof counts);
    total = 0;
    windowTitle.clear();
    displayCallback = nullptr;
    idleCallback = nullptr;
    reshapeCallback = nullptr;
    keyboardCallback = nullptr;
}

const std::vector<GlCall>& calls() {
    return recorded;
}
std::size_t callCount() {
    return total;
}
std::size_t countOf(GlOp op) {
    return counts[static_cast<std::size_t>(op)];
}

namespace {
// Counts the call; true when its arguments are to be recorded too.
bool counted(GlOp op) {
    ++total;
    ++counts[static_cast<std::size_t>(op)];
    return mode == Mode::Record;
}

void record(GlOp op, std::initializer_list<double> args = {}) {
    GlCall call{op, static_cast<std::uint8_t>(args.size()), {}};
    std::size_t n = 0;
    for (const double a : args) {
        call.args[n++] = a;
    }
    recorded.push_back(call);
}
}  // namespace
}  // namespace glrec

bool GlCall::operator==(const GlCall& other) const {
    // Bitwise, so that a -0.0 or a different NaN counts as a difference.
    return op == other.op && argc == other.argc &&
           std::memcmp(args, other.args, argc * sizeof(double)) == 0;
}

const char* glOpName(GlOp op) {
    static const char* const names[] = {"glClear",
                                        "glMatrixMode",
                                        "glLoadIdentity",
                                        "gluLookAt",
                                        "gluPerspective",
                                        "glViewport",
                                        "glDepthFunc",
                                        "glEnable",
                                        "glBegin",
                                        "glEnd",
                                        "glColor3f",
                                        "glVertex3f",
                                        "glutInit",
                                        "glutInitDisplayMode",
                                        "glutInitWindowSize",
                                        "glutInitWindowPosition",
                                        "glutCreateWindow",
                                        "glutReshapeFunc",
                                        "glutIdleFunc",
                                        "glutDisplayFunc",
                                        "glutKeyboardFunc",
                                        "glutMainLoop",
                                        "glutSwapBuffers",
                                        "glutPostRedisplay"};
    return names[static_cast<std::size_t>(op)];
}

std::string describe(const GlCall& call) {
    std::ostringstream out;
    out.precision(17);
    out << glOpName(call.op) << "(";
    for (int n = 0; n < call.argc; ++n) {
        out << (n ? ", " : "") << call.args[n];
    }
    out << ")";
    return out.str();
}

using glrec::counted;
using glrec::record;

void glClear(GLbitfield mask) {
    if (counted(GlOp::Clear)) {
        record(GlOp::Clear, {static_cast<double>(mask)});
    }
}
void glMatrixMode(GLenum mode) {
    if (counted(GlOp::MatrixMode)) {
        record(GlOp::MatrixMode, {static_cast<double>(mode)});
    }
}
void glLoadIdentity() {
    if (counted(GlOp::LoadIdentity)) {
        record(GlOp::LoadIdentity);
    }
}
void gluLookAt(GLdouble eyeX, GLdouble eyeY, GLdouble eyeZ, GLdouble centerX, GLdouble centerY,
               GLdouble centerZ, GLdouble upX, GLdouble upY, GLdouble upZ) {
    if (counted(GlOp::LookAt)) {
        record(GlOp::LookAt, {eyeX, eyeY, eyeZ, centerX, centerY, centerZ, upX, upY, upZ});
    }
}
void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar) {
    if (counted(GlOp::Perspective)) {
        record(GlOp::Perspective, {fovy, aspect, zNear, zFar});
    }
}
void glViewport(GLint x, GLint y, GLsizei width, GLsizei height) {
    if (counted(GlOp::Viewport)) {
        record(GlOp::Viewport, {static_cast<double>(x), static_cast<double>(y),
                                static_cast<double>(width), static_cast<double>(height)});
    }
}
void glDepthFunc(GLenum func) {
    if (counted(GlOp::DepthFunc)) {
        record(GlOp::DepthFunc, {static_cast<double>(func)});
    }
}
void glEnable(GLenum cap) {
    if (counted(GlOp::Enable)) {
        record(GlOp::Enable, {static_cast<double>(cap)});
    }
}
void glBegin(GLenum mode) {
    if (counted(GlOp::Begin)) {
        record(GlOp::Begin, {static_cast<double>(mode)});
    }
}
void glEnd() {
    if (counted(GlOp::End)) {
        record(GlOp::End);
    }
}
void glColor3f(GLfloat red, GLfloat green, GLfloat blue) {
    if (counted(GlOp::Color3f)) {
        record(GlOp::Color3f, {red, green, blue});
    }
}
void glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
    if (counted(GlOp::Vertex3f)) {
        record(GlOp::Vertex3f, {x, y, z});
    }
}

void glutInit(int* pargc, char** /*argv*/) {
    if (counted(GlOp::Init)) {
        record(GlOp::Init, {static_cast<double>(pargc ? *pargc : -1)});
    }
}
void glutInitDisplayMode(unsigned int displayMode) {
    if (counted(GlOp::InitDisplayMode)) {
        record(GlOp::InitDisplayMode, {static_cast<double>(displayMode)});
    }
}
void glutInitWindowSize(int width, int height) {
    if (counted(GlOp::InitWindowSize)) {
        record(GlOp::InitWindowSize, {static_cast<double>(width), static_cast<double>(height)});
    }
}
void glutInitWindowPosition(int x, int y) {
    if (counted(GlOp::InitWindowPosition)) {
        record(GlOp::InitWindowPosition, {static_cast<double>(x), static_cast<double>(y)});
    }
}
int glutCreateWindow(const char* title) {
    if (counted(GlOp::CreateWindow)) {
        record(GlOp::CreateWindow);
    }
    glrec::windowTitle = title;
    return 1;
}
void glutReshapeFunc(void (*callback)(int, int)) {
    if (counted(GlOp::ReshapeFunc)) {
        record(GlOp::ReshapeFunc);
    }
    glrec::reshapeCallback = callback;
}
void glutIdleFunc(void (*callback)()) {
    if (counted(GlOp::IdleFunc)) {
        record(GlOp::IdleFunc);
    }
    glrec::idleCallback = callback;
}
void glutDisplayFunc(void (*callback)()) {
    if (counted(GlOp::DisplayFunc)) {
        record(GlOp::DisplayFunc);
    }
    glrec::displayCallback = callback;
}
void glutKeyboardFunc(void (*callback)(unsigned char, int, int)) {
    if (counted(GlOp::KeyboardFunc)) {
        record(GlOp::KeyboardFunc);
    }
    glrec::keyboardCallback = callback;
}
void glutMainLoop() {
    if (counted(GlOp::MainLoop)) {
        record(GlOp::MainLoop);
    }
}
void glutSwapBuffers() {
    if (counted(GlOp::SwapBuffers)) {
        record(GlOp::SwapBuffers);
    }
}
void glutPostRedisplay() {
    if (counted(GlOp::PostRedisplay)) {
        record(GlOp::PostRedisplay);
    }
}
