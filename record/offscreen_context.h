#pragma once
// An OpenGL compatibility context without any window system: Mesa's EGL on
// its surfaceless platform, drawing into a pbuffer of a fixed size. It takes
// a GPU where EGL offers one and Mesa's software renderer otherwise.

#include <cstdint>
#include <string>
#include <vector>

#include "record/image.h"

class OffscreenContext {
  public:
    OffscreenContext() = default;
    OffscreenContext(const OffscreenContext&) = delete;
    OffscreenContext& operator=(const OffscreenContext&) = delete;
    ~OffscreenContext();

    // Makes a width x height RGB context with a 24-bit depth buffer current
    // on this thread. On failure returns false with one line naming the
    // cause in error.
    bool open(int width, int height, std::string& error);

    // Reads the picture just drawn into image, top row first, at the size
    // the context was opened with.
    void readPicture(Image& image);

    // The GL renderer string of the current context, e.g. "llvmpipe (...)".
    static std::string renderer();

  private:
    void* display_ = nullptr;
    void* context_ = nullptr;
    void* surface_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint8_t> rows_;  // as GL gives them, bottom row first
};
