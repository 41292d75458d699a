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
void note(GlOp op, std::initializer_list<double> args = {}) {
    ++total;
    ++counts[static_cast<std::size_t>(op)];
    if (mode != Mode::Record) {
        return;
    }
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

using glrec::note;

void glClear(GLbitfield mask) {
    note(GlOp::Clear, {static_cast<double>(mask)});
}
void glMatrixMode(GLenum mode) {
    note(GlOp::MatrixMode, {static_cast<double>(mode)});
}
void glLoadIdentity() {
    note(GlOp::LoadIdentity);
}
void gluLookAt(GLdouble eyeX, GLdouble eyeY, GLdouble eyeZ, GLdouble centerX, GLdouble centerY,
               GLdouble centerZ, GLdouble upX, GLdouble upY, GLdouble upZ) {
    note(GlOp::LookAt, {eyeX, eyeY, eyeZ, centerX, centerY, centerZ, upX, upY, upZ});
}
void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar) {
    note(GlOp::Perspective, {fovy, aspect, zNear, zFar});
}
void glViewport(GLint x, GLint y, GLsizei width, GLsizei height) {
    note(GlOp::Viewport, {static_cast<double>(x), static_cast<double>(y),
                          static_cast<double>(width), static_cast<double>(height)});
}
void glDepthFunc(GLenum func) {
    note(GlOp::DepthFunc, {static_cast<double>(func)});
}
void glEnable(GLenum cap) {
    note(GlOp::Enable, {static_cast<double>(cap)});
}
void glBegin(GLenum mode) {
    note(GlOp::Begin, {static_cast<double>(mode)});
}
void glEnd() {
    note(GlOp::End);
}
void glColor3f(GLfloat red, GLfloat green, GLfloat blue) {
    note(GlOp::Color3f, {red, green, blue});
}
void glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
    note(GlOp::Vertex3f, {x, y, z});
}

void glutInit(int* pargc, char** /*argv*/) {
    note(GlOp::Init, {static_cast<double>(pargc ? *pargc : -1)});
}
void glutInitDisplayMode(unsigned int displayMode) {
    note(GlOp::InitDisplayMode, {static_cast<double>(displayMode)});
}
void glutInitWindowSize(int width, int height) {
    note(GlOp::InitWindowSize, {static_cast<double>(width), static_cast<double>(height)});
}
void glutInitWindowPosition(int x, int y) {
    note(GlOp::InitWindowPosition, {static_cast<double>(x), static_cast<double>(y)});
}
int glutCreateWindow(const char* title) {
    note(GlOp::CreateWindow);
    glrec::windowTitle = title;
    return 1;
}
void glutReshapeFunc(void (*callback)(int, int)) {
    note(GlOp::ReshapeFunc);
    glrec::reshapeCallback = callback;
}
void glutIdleFunc(void (*callback)()) {
    note(GlOp::IdleFunc);
    glrec::idleCallback = callback;
}
void glutDisplayFunc(void (*callback)()) {
    note(GlOp::DisplayFunc);
    glrec::displayCallback = callback;
}
void glutKeyboardFunc(void (*callback)(unsigned char, int, int)) {
    note(GlOp::KeyboardFunc);
    glrec::keyboardCallback = callback;
}
void glutMainLoop() {
    note(GlOp::MainLoop);
}
void glutSwapBuffers() {
    note(GlOp::SwapBuffers);
}
void glutPostRedisplay() {
    note(GlOp::PostRedisplay);
}
