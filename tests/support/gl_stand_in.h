#pragma once
// Stands in for GL, GLU and GLUT where the tests and benchmarks link the
// display and shell code. Each call is folded into a digest and counted, and
// the first calls are kept as text: a test compares a whole frame as one
// number and a short sequence as readable text.

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "call_digest.h"
#include "primitive_digest.h"

struct GlStandIn {
    CallDigest stream;
    std::size_t counts[static_cast<int>(GlOp::PostRedisplay) + 1] = {};
    // The first calls as "name(arg,...)", blank-separated, numbers in %.17g.
    std::string text;
    // What the shell titled and registered.
    std::string title;
    void (*display)() = nullptr;
    void (*idle)() = nullptr;
    void (*reshape)(int, int) = nullptr;
    void (*keyboard)(unsigned char, int, int) = nullptr;
    // When set, the arguments of every glVertex3f, and of every glColor3f,
    // are appended here.
    std::vector<std::array<float, 3>>* vertices = nullptr;
    std::vector<std::array<float, 3>>* colours = nullptr;
    // When set, every primitive is folded here as it ends.
    PrimitiveDigest* primitives = nullptr;
    // Off: calls are only counted (stream.calls), for the benchmarks.
    bool digesting = true;

    std::size_t count(GlOp op) const { return counts[static_cast<int>(op)]; }
};

// Everything since the last `gl = GlStandIn()`.
extern GlStandIn gl;
