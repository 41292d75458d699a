#pragma once
// The recorder's command line.

#include <string>

#include "display/frame_style.h"

struct RecordOptions {
    int frames = 36;  // one orbit of the eye
    int width = 600;  // the window's size
    int height = 600;
    std::string out = ".";
    bool pngFrames = false;
    // --colour and --derivatives.
    FrameStyle style;
    bool help = false;
    bool version = false;
};

constexpr int MaxFrames = 3600;
constexpr int MinSide = 16;
constexpr int MaxSide = 4096;

// Fills options from argv[1..argc-1]: --frames N, --size WxH, --out DIR,
// --colour shading|distance, --derivatives as-drawn|scaled, --png-frames,
// --help and --version, each value also as --name=value. On anything
// else, or a value out of range, returns false with one line in error.
bool parseOptions(int argc, const char* const* argv, RecordOptions& options, std::string& error);

// What the files' names add to patchview-MODE for the style: "-scaled" for
// scaled derivatives, then "-distance" for the distance colouring.
std::string styleSuffix(const FrameStyle& style);

// The text of --help.
extern const char* const RecordUsage;

// The line of --version: the program's name and the project's version.
extern const char* const RecordVersion;
