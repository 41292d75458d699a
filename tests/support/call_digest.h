#pragma once
// A running digest of GL calls. Each call folds the bits of its operation
// code and of each argument, all widened to double, so that a different
// call, order or last bit of any argument gives a different digest. The
// independent model that verified the pinned digests once (in the history up
// to commit 15601e6) folded the same way.

#include <cstdint>
#include <cstring>
#include <initializer_list>

// clang-format off
enum class GlOp : std::uint8_t {
    Clear, MatrixMode, LoadIdentity, LookAt, Perspective, Viewport, DepthFunc, Enable, Begin,
    End, Color3f, Vertex3f, SwapBuffers, Init, InitDisplayMode, InitWindowSize,
    InitWindowPosition, CreateWindow, ReshapeFunc, IdleFunc, DisplayFunc, KeyboardFunc, MainLoop,
    PostRedisplay
};
// clang-format on

struct CallDigest {
    std::uint64_t value = 0xcbf29ce484222325u;
    std::uint64_t calls = 0;

    void mix(std::uint64_t word) { value = (value ^ word) * 0x100000001b3u; }
    void fold(const double* d, std::size_t n = 1) {
        for (std::uint64_t bits = 0; n-- > 0; mix(bits)) {
            std::memcpy(&bits, d++, sizeof bits);
        }
    }
    void add(GlOp op, std::initializer_list<double> args = {}) {
        ++calls;
        const double code = static_cast<double>(op);
        fold(&code);
        fold(args.begin(), args.size());
    }
};

// The GL and GLU calls that draw a frame, for the stand-in that folds them:
// X(name, op, parameters, arguments).
// clang-format off
#define FRAME_CALLS(X)                                                                         \
    X(glClear, Clear, (GLbitfield mask), (mask))                                               \
    X(glMatrixMode, MatrixMode, (GLenum mode), (mode))                                         \
    X(glLoadIdentity, LoadIdentity, (), ())                                                    \
    X(gluLookAt, LookAt, (double ex, double ey, double ez, double cx, double cy, double cz,   \
                          double ux, double uy, double uz), (ex, ey, ez, cx, cy, cz, ux, uy, uz)) \
    X(glBegin, Begin, (GLenum mode), (mode))                                                   \
    X(glEnd, End, (), ())                                                                      \
    X(glColor3f, Color3f, (GLfloat r, GLfloat g, GLfloat b), (r, g, b))                        \
    X(glVertex3f, Vertex3f, (GLfloat x, GLfloat y, GLfloat z), (x, y, z))
// clang-format on
