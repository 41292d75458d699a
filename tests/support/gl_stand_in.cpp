// The GL stand-in of the tests: each call is folded into the digest, counted
// and, among the first calls, written as text.

#include "gl_stand_in.h"

#include <GL/freeglut.h>

#include <cstdio>

GlStandIn gl;

namespace {
// Folds the calls that make primitives into gl.primitives.
void notePrimitive(GlOp op, std::initializer_list<double> args) {
    const double* a = args.begin();
    const auto f = [a](int n) { return static_cast<float>(a[n]); };
    if (op == GlOp::Begin) {
        gl.primitives->begin(static_cast<std::uint32_t>(a[0]));
    } else if (op == GlOp::Color3f) {
        gl.primitives->colour(f(0), f(1), f(2));
    } else if (op == GlOp::Vertex3f) {
        gl.primitives->vertex(f(0), f(1), f(2));
    } else if (op == GlOp::End) {
        gl.primitives->end();
    }
}

// Notes a call of op named name; called with its arguments.
auto note(GlOp op, const char* name) {
    return [op, name](auto... values) {
        const std::initializer_list<double> args = {static_cast<double>(values)...};
        gl.stream.add(op, args);
        ++gl.counts[static_cast<int>(op)];
        if constexpr (sizeof...(values) == 3) {
            auto* kept = op == GlOp::Vertex3f  ? gl.vertices
                         : op == GlOp::Color3f ? gl.colours
                                               : nullptr;
            if (kept != nullptr) {
                kept->push_back({static_cast<float>(values)...});
            }
        }
        if (gl.primitives != nullptr) {
            notePrimitive(op, args);
        }
        if (gl.stream.calls <= 64) {
            gl.text += (gl.text.empty() ? "" : " ") + std::string(name) + "(";
            char number[32];
            for (const double& a : args) {
                std::snprintf(number, sizeof number, "%s%.17g", &a == args.begin() ? "" : ",", a);
                gl.text += number;
            }
            gl.text += ")";
        }
    };
}
}  // namespace

// A function that notes its call as op with the arguments args, a
// parenthesised list, or only counts it.
#define STAND_IN(name, op, params, args) \
    extern "C" void name params {        \
        if (gl.digesting) {              \
            note(GlOp::op, #name) args;  \
        } else {                         \
            ++gl.stream.calls;           \
        }                                \
    }

FRAME_CALLS(STAND_IN)
STAND_IN(gluPerspective, Perspective, (double fovy, double aspect, double zNear, double zFar),
         (fovy, aspect, zNear, zFar))
STAND_IN(glViewport, Viewport, (GLint x, GLint y, GLsizei w, GLsizei h), (x, y, w, h))
STAND_IN(glDepthFunc, DepthFunc, (GLenum func), (func))
STAND_IN(glEnable, Enable, (GLenum cap), (cap))
STAND_IN(glutInit, Init, (int* argc, char**), (*argc))
STAND_IN(glutInitDisplayMode, InitDisplayMode, (unsigned mode), (mode))
STAND_IN(glutInitWindowSize, InitWindowSize, (int w, int h), (w, h))
STAND_IN(glutInitWindowPosition, InitWindowPosition, (int x, int y), (x, y))
STAND_IN(glutMainLoop, MainLoop, (), ())
STAND_IN(glutSwapBuffers, SwapBuffers, (), ())
STAND_IN(glutPostRedisplay, PostRedisplay, (), ())

// Registrations keep what they register.
#define REGISTER(name, op, slot)                \
    extern "C" void name(decltype(gl.slot) f) { \
        note(GlOp::op, #name)();                \
        gl.slot = f;                            \
    }
REGISTER(glutDisplayFunc, DisplayFunc, display)
REGISTER(glutIdleFunc, IdleFunc, idle)
REGISTER(glutReshapeFunc, ReshapeFunc, reshape)
REGISTER(glutKeyboardFunc, KeyboardFunc, keyboard)

extern "C" int glutCreateWindow(const char* title) {
    note(GlOp::CreateWindow, "glutCreateWindow")();
    gl.title = title;
    return 1;
}
