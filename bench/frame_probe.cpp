// Preloaded into the real viewer by scripts/matrix (LD_PRELOAD): passes every
// drawing call on to GL and, at each buffer swap, appends a line to the file
// named by PATCHVIEW_PROBE_OUT: the eye of gluLookAt (hex floats), the digest
// of the frame's calls from glClear on, folded as the tests' GL stand-in
// folds them, and their number. Two builds' frames are matched by their eye,
// since how many idle steps run before the first frame depends on timing.

#include <GL/gl.h>
#include <GL/glu.h>
#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "call_digest.h"

namespace {
CallDigest frame;
double eye[3];

template <class F>
F next(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

// Folds a call of op; called with its arguments.
auto note(GlOp op) {
    if (op == GlOp::Clear) {
        frame = CallDigest();
    }
    return [op](auto... args) {
        const std::initializer_list<double> values = {static_cast<double>(args)...};
        if constexpr (sizeof...(args) == 9) {  // gluLookAt: its eye keys the frame
            std::copy_n(values.begin(), 3, eye);
        }
        frame.add(op, values);
    };
}
}  // namespace

// Notes the call as op with the arguments args, a parenthesised list, and
// passes it on.
#define PROBE(name, op, params, args)                          \
    extern "C" void name params {                              \
        note(GlOp::op) args;                                   \
        static const auto real = next<decltype(&name)>(#name); \
        real args;                                             \
    }

FRAME_CALLS(PROBE)

extern "C" void glXSwapBuffers(void* display, unsigned long drawable) {
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
