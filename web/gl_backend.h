#pragma once
// Where the web host's GL entry points send what they do not gather: the
// calls that go to WebGL as they are, and each gathered batch to be drawn.
// The page supplies WebGL; the tests supply a recorder.

#include <cstdint>

#include "web/frame_gatherer.h"

class GlBackend {
  public:
    virtual ~GlBackend() = default;
    virtual void clear(std::uint32_t mask) = 0;
    virtual void viewport(int x, int y, int width, int height) = 0;
    virtual void enable(std::uint32_t capability) = 0;
    virtual void depthFunc(std::uint32_t function) = 0;
    // Draws what waits in the gatherer, which is cleared afterwards.
    virtual void draw(FrameGatherer& batch) = 0;
    // The frame is complete (the buffer swap).
    virtual void present() = 0;
};

// The backend of the entry points; nullptr drops everything.
void setGlBackend(GlBackend* backend);

// The gatherer behind the entry points.
FrameGatherer& glGatherer();
