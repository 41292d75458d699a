#pragma once
// A stand-in for the GL, GLU and GLUT functions that the display and shell
// code call. Linked instead of the real libraries, it records every call with
// its arguments (or only counts them), so that tests can read the stream.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class GlOp : std::uint8_t {
    Clear,
    MatrixMode,
    LoadIdentity,
    LookAt,
    Perspective,
    Viewport,
    DepthFunc,
    Enable,
    Begin,
    End,
    Color3f,
    Vertex3f,
    Init,
    InitDisplayMode,
    InitWindowSize,
    InitWindowPosition,
    CreateWindow,
    ReshapeFunc,
    IdleFunc,
    DisplayFunc,
    KeyboardFunc,
    MainLoop,
    SwapBuffers,
    PostRedisplay,
};

const char* glOpName(GlOp op);

// One call; float arguments are widened exactly to double.
struct GlCall {
    GlOp op;
    std::uint8_t argc;
    double args[9];

    bool operator==(const GlCall& other) const;
    bool operator!=(const GlCall& other) const { return !(*this == other); }
};

std::string describe(const GlCall& call);

namespace glrec {

enum class Mode { Record, Count };

// Forgets all calls and callbacks and sets the mode.
void reset(Mode mode = Mode::Record);
const std::vector<GlCall>& calls();
// Calls seen since the last reset, in both modes.
std::size_t callCount();
std::size_t countOf(GlOp op);

// What the shell registered and titled.
extern std::string windowTitle;
extern void (*displayCallback)();
extern void (*idleCallback)();
extern void (*reshapeCallback)(int, int);
extern void (*keyboardCallback)(unsigned char, int, int);

}  // namespace glrec
