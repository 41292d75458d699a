#include "record/options.h"

const char* const RecordUsage =
    "usage: patchview-record [--frames N] [--size WxH] [--out DIR] [--png-frames]\n"
    "                        [--colour shading|distance] [--derivatives as-drawn|scaled]\n"
    "\n"
    "Asks on the console, as the viewer does, for the representation (1: Ferguson\n"
    "patches, any other key: cubic strips), then draws the viewer's animation\n"
    "offscreen, with no window and no X server: frame k is the picture the viewer\n"
    "shows after k idle steps. Saves all frames as patchview-MODE.gif (looping, 10\n"
    "frames a second) and the last one as patchview-MODE.png, MODE being ferguson\n"
    "or cubic, with -scaled and -distance added for the choices below.\n"
    "\n"
    "  --frames N     frames to draw, 1 to 3600 (default 36: one orbit of the eye)\n"
    "  --size WxH     picture size, each side 16 to 4096 (default 600x600)\n"
    "  --out DIR      folder of the files, made if missing (default: the current one)\n"
    "  --png-frames   also every frame as patchview-MODE-000.png, -001.png, ...;\n"
    "                 frames of an earlier run beyond these are removed\n"
    "  --colour C     shading (default) or distance: each cell or quad in one colour\n"
    "                 by how far its centre lies from the exact tube, blue inside,\n"
    "                 grey on it, red outside; prints the colour scale\n"
    "  --derivatives D\n"
    "                 as-drawn (default) or scaled: the Ferguson patches with their\n"
    "                 derivatives scaled by the parameter steps (key 1 only)\n"
    "  -h, --help     this text\n"
    "  --version      the program's name and version\n"
    "\n"
    "The files replace the old ones together at the end, or none of them: an error\n"
    "or a signal leaves nothing behind, not even a folder that --out made.\n";

const char* const RecordVersion = "patchview-record " PATCHVIEW_VERSION "\n";

std::string styleSuffix(const FrameStyle& style) {
    return std::string(style.derivatives == Derivatives::PerStep ? "-scaled" : "") +
           (style.colouring == Colouring::Distance ? "-distance" : "");
}

namespace {

// A whole number from min to max, digits only.
bool readNumber(const std::string& text, int min, int max, int& value) {
    if (text.empty() || text.size() > 9 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    value = std::stoi(text);
    return value >= min && value <= max;
}

}  // namespace

bool parseOptions(int argc, const char* const* argv, RecordOptions& options, std::string& error) {
    for (int n = 1; n < argc; ++n) {
        std::string name = argv[n];
        std::string value;
        bool hasValue = false;
        const std::size_t equals = name.find('=');
        if (name.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.erase(equals);
            hasValue = true;
        }
        const bool takesValue = name == "--frames" || name == "--size" || name == "--out" ||
                                name == "--colour" || name == "--derivatives";
        if (name == "--help" || name == "-h" || name == "--png-frames" || name == "--version") {
            if (hasValue) {
                error = name + " takes no value";
                return false;
            }
            bool& flag = name == "--png-frames" ? options.pngFrames
                         : name == "--version"  ? options.version
                                                : options.help;
            flag = true;
            continue;
        }
        if (!takesValue) {
            error = "unknown option '" + name + "' (see --help)";
            return false;
        }
        if (!hasValue) {
            if (n + 1 >= argc) {
                error = name + " needs a value (see --help)";
                return false;
            }
            value = argv[++n];
        }
        if (name == "--frames") {
            if (!readNumber(value, 1, MaxFrames, options.frames)) {
                error = "--frames takes a whole number from 1 to 3600, not '" + value + "'";
                return false;
            }
        } else if (name == "--size") {
            const std::size_t x = value.find('x');
            if (x == std::string::npos ||
                !readNumber(value.substr(0, x), MinSide, MaxSide, options.width) ||
                !readNumber(value.substr(x + 1), MinSide, MaxSide, options.height)) {
                error = "--size takes WIDTHxHEIGHT, each 16 to 4096, not '" + value + "'";
                return false;
            }
        } else if (name == "--colour") {
            if (value != "shading" && value != "distance") {
                error = "--colour takes shading or distance, not '" + value + "'";
                return false;
            }
            options.style.colouring =
                value == "distance" ? Colouring::Distance : Colouring::Shading;
        } else if (name == "--derivatives") {
            if (value != "as-drawn" && value != "scaled") {
                error = "--derivatives takes as-drawn or scaled, not '" + value + "'";
                return false;
            }
            options.style.derivatives =
                value == "scaled" ? Derivatives::PerStep : Derivatives::PerRadian;
        } else {
            if (value.empty()) {
                error = "--out needs a folder";
                return false;
            }
            if (value == "-") {
                error =
                    "--out needs a folder, and '-' would be standard output (./- names a "
                    "folder called -)";
                return false;
            }
            options.out = value;
        }
    }
    return true;
}
