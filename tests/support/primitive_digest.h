#pragma once
// A digest of what a frame draws, primitive by primitive: the mode, the
// vertex count, then each vertex's colour, as the 8-bit channels that the
// picture holds, and its position, as the floats given.
// The GL stand-in folds it from the calls and the web host's test from the
// arrays that the host gathered, so equal digests mean that both hold every
// polygon and strip, in order, to the last bit.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "call_digest.h"

class PrimitiveDigest {
  public:
    void begin(std::uint32_t mode) {
        mode_ = mode;
        open_.clear();
    }
    // A colour as GL gives it, each channel clamped to [0, 1] and rounded to
    // the nearest of 0, 1/255, ..., 1.
    void colour(float r, float g, float b) {
        const auto channel = [](float c) {
            const double clamped = c > 0.0f ? (c < 1.0f ? c : 1.0) : 0.0;
            return static_cast<float>(std::lround(clamped * 255.0));
        };
        colour_[0] = channel(r);
        colour_[1] = channel(g);
        colour_[2] = channel(b);
    }
    // A colour already in 8-bit channels.
    void channels(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        colour_[0] = r;
        colour_[1] = g;
        colour_[2] = b;
    }
    void vertex(float x, float y, float z) {
        for (const float c : {colour_[0], colour_[1], colour_[2], x, y, z}) {
            open_.push_back(c);
        }
    }
    void end() {
        const double head[2] = {static_cast<double>(mode_), static_cast<double>(open_.size() / 6)};
        digest_.fold(head, 2);
        for (const float v : open_) {
            const double d = v;
            digest_.fold(&d);
        }
        ++primitives_;
        vertices_ += open_.size() / 6;
    }

    std::uint64_t value() const { return digest_.value; }
    std::uint64_t primitives() const { return primitives_; }
    std::uint64_t vertices() const { return vertices_; }

  private:
    CallDigest digest_;
    std::uint32_t mode_ = 0;
    float colour_[3] = {255.0f, 255.0f, 255.0f};
    std::vector<float> open_;
    std::uint64_t primitives_ = 0;
    std::uint64_t vertices_ = 0;
};

// Frames of the two modes as the viewer draws them after its start-up, by
// idle steps: the digest of their primitives, and how many primitives and
// vertices they hold. Shared by the stand-in's frames and the web host's.
struct PinnedPrimitives {
    int key;
    int steps;
    std::uint64_t digest;
    std::uint64_t primitives;
    std::uint64_t vertices;
    // 0: shaded; 1: distance colouring; 2: distance, scaled derivatives.
    int style = 0;
};

// Frames 0, 7 and 23 of both modes, pinned from the stand-in, whose call
// digests of the same frames were verified independently.
inline constexpr PinnedPrimitives PinnedFrames[] = {
    {'1', 0, 0x337d337236b05f3du, 114703, 458812},
    {'1', 7, 0x727cf638ac84b8f5u, 111658, 446632},
    {'1', 23, 0x4c3448baa2b724cdu, 110913, 443652},
    {'2', 0, 0x8b7435d93e634545u, 8100, 97200},
    {'2', 7, 0x3ff8f5d93e634545u, 8100, 97200},
    {'2', 23, 0xae1075d93e634545u, 8100, 97200},
    // The distance colouring's frames 0 and 7: the cubic strips as runs of
    // GL_QUADS, five quads a strip.
    {'1', 0, 0x7c6bf37236b05f3du, 114703, 458812, 1},
    {'1', 7, 0xe5403638ac84b8f5u, 111658, 446632, 1},
    {'1', 0, 0xdfd479b8d2999795u, 114942, 459768, 2},
    {'1', 7, 0x0320412e6bb2c815u, 112142, 448568, 2},
    {'2', 0, 0x1e108007359bec45u, 8100, 162000, 1},
    {'2', 7, 0xc31bc007359bec45u, 8100, 162000, 1},
};

// The pinned runs of frames: a key with a style (0 shaded, 1 the distance
// colouring, 2 the distance colouring with scaled derivatives).
struct PinnedRun {
    char key;
    int style;
};
constexpr PinnedRun PinnedRuns[] = {{'1', 0}, {'2', 0}, {'1', 1}, {'1', 2}, {'2', 1}};

// What differs between frame k of key's mode in style, folded into digest,
// and its pin; empty when they agree or the frame is not pinned.
inline std::string pinnedFrameMismatch(int key, int k, const PrimitiveDigest& digest,
                                       int style = 0) {
    for (const PinnedPrimitives& pin : PinnedFrames) {
        if (pin.key != key || pin.steps != k || pin.style != style) {
            continue;
        }
        if (digest.value() == pin.digest && digest.primitives() == pin.primitives &&
            digest.vertices() == pin.vertices) {
            return "";
        }
        char line[200];
        std::snprintf(line, sizeof line,
                      "key %c frame %d style %d: digest 0x%016llx, %llu primitives, %llu "
                      "vertices",
                      static_cast<char>(key), k, style,
                      static_cast<unsigned long long>(digest.value()),
                      static_cast<unsigned long long>(digest.primitives()),
                      static_cast<unsigned long long>(digest.vertices()));
        return line;
    }
    return "";
}
