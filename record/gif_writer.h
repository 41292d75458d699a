#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "record/image.h"

// A looping GIF animation written frame by frame to out, so that memory does not grow with the
// number of frames. Every call returns false with a one-line error on failure (write errors too).
//
// Each frame has its own palette. Where a frame changed in at most 32 colours it is stored
// exactly. Shaded frames spend an error allowance on fewer palette entries, because LZW pays for
// every colour: every channel of every pixel stays within 8 levels of the frame given and the
// frame's mean channel difference within 0.001 of full scale, as far as 255 entries allow.
// Pixels take their nearest entry, no dithering. After the first frame only the rectangle that
// changed is stored, with the pixels that did not change, or that the screen already shows as
// well, transparent. The same frames give the same bytes with every compiler and optimisation.
class GifWriter {
  public:
    GifWriter();
    GifWriter(const GifWriter&) = delete;
    GifWriter& operator=(const GifWriter&) = delete;
    // delayCs: hundredths of a second per frame (10 = 10 frames a second). Loops forever.
    // Sides of 1 to 65535 pixels.
    bool open(std::FILE* out, int width, int height, int delayCs, std::string& error);
    bool addFrame(const Image& frame, std::string& error);
    // Writes the trailer. The caller flushes and closes out and checks that too.
    bool close(std::string& error);
    ~GifWriter();  // releases giflib state if close was not reached

  private:
    struct State;
    std::unique_ptr<State> state_;
};
