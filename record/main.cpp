// patchview-record: the viewer's console dialogue, then its animation drawn
// offscreen through EGL, with no window and no X server, and saved as a
// looping GIF, the last frame as a PNG and, on request, every frame as a PNG.

#include <cstdio>
#include <string>
#include <vector>

#include "app/console.h"
#include "app/globals.h"
#include "app/view.h"
#include "display/frame_style.h"
#include "output/output_set.h"
#include "record/encoder_thread.h"
#include "record/frame_loop.h"
#include "record/gif_writer.h"
#include "record/image.h"
#include "record/offscreen_context.h"
#include "record/options.h"
#include "record/png_writer.h"
#include "surface/surface_grid.h"

namespace {

constexpr int GifDelayCs = 10;  // 10 frames a second

int failWith(const std::string& message, int status = 1) {
    std::fprintf(stderr, "patchview-record: %s\n", printableText(message).c_str());
    return status;
}

// patchview-MODE-000.png: three digits, more when the count needs them.
std::string frameName(const std::string& base, int k, int count) {
    const int digits = count > 1000 ? 4 : 3;
    char number[16];
    std::snprintf(number, sizeof number, "%0*d", digits, k);
    return base + "-" + number + ".png";
}

// Frames of an earlier run that the new one does not write: a longer run's
// or the other number of digits'.
bool staleFrame(const std::string& base, int count, const std::string& name) {
    const std::size_t digits = name.size() - base.size() - 5;
    if (name.size() < base.size() + 8 || name.compare(0, base.size() + 1, base + "-") != 0 ||
        name.compare(name.size() - 4, 4, ".png") != 0 || (digits != 3 && digits != 4)) {
        return false;
    }
    const std::string number = name.substr(base.size() + 1, digits);
    if (number.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    return digits != (count > 1000 ? 4u : 3u) || std::stoi(number) >= count;
}

// Draws the frames and writes the files into files; on failure nothing is
// kept. The frames are encoded on a second thread while the next one is
// drawn.
bool record(const RecordOptions& options, const std::string& base, OffscreenContext& context,
            OutputSet& files, std::string& error) {
    std::vector<std::string> names = {base + ".gif"};
    if (options.pngFrames) {
        for (int k = 0; k < options.frames; ++k) {
            names.push_back(frameName(base, k, options.frames));
        }
        files.removeStale(options.out, [base, count = options.frames](const std::string& name) {
            return staleFrame(base, count, name);
        });
    }
    names.push_back(base + ".png");
    for (const std::string& name : names) {
        files.add(options.out + "/" + name);
    }
    if (files.prepare(error) != OutputSet::Prepared::Ready) {
        return false;
    }

    // Failures name the file they were writing.
    const auto writing = [&files](std::size_t n, std::string& why) {
        why = "cannot write " + files.name(n) + ": " + why;
        return false;
    };
    const auto writePicture = [&](std::size_t n, const Image& frame, std::string& why) {
        std::FILE* file = files.open(n, why);
        if (file == nullptr) {
            return false;
        }
        const bool encoded = writePng(file, frame, why) || writing(n, why);
        std::string closing;
        if (!files.close(n, file, closing) && encoded) {
            why = closing;
            return false;
        }
        return encoded;
    };
    std::FILE* gifFile = files.open(0, error);
    if (gifFile == nullptr) {
        return false;
    }
    GifWriter gif;
    bool written = gif.open(gifFile, options.width, options.height, GifDelayCs, error);
    if (written) {
        int encoded = 0;
        EncoderThread encoder([&](const Image& frame, std::string& why) {
            const int k = encoded++;
            return (gif.addFrame(frame, why) || writing(0, why)) &&
                   (!options.pngFrames || writePicture(1 + k, frame, why)) &&
                   (k + 1 < options.frames || writePicture(names.size() - 1, frame, why));
        });
        Image frame;
        const bool drawn = drawFrames(options.frames, [&](int) {
            context.readPicture(frame);
            return encoder.push(frame);
        });
        written = encoder.finish(error) && drawn && (gif.close(error) || writing(0, error));
    }
    std::string closing;
    if (!files.close(0, gifFile, closing) && written) {
        error = closing;
        written = false;
    }
    if (!written || !files.commit(error)) {
        return false;
    }
    std::printf("animation: %s (%d frame%s)\n", files.name(0).c_str(), options.frames,
                options.frames == 1 ? "" : "s");
    if (options.pngFrames) {
        std::printf("frames: %s to %s\n", files.name(1).c_str(),
                    files.name(names.size() - 2).c_str());
    }
    std::printf("last frame: %s\n", files.name(names.size() - 1).c_str());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    RecordOptions options;
    std::string error;
    if (!parseOptions(argc, argv, options, error)) {
        return failWith(error, 2);
    }
    if (options.help) {
        std::fputs(RecordUsage, stdout);
        return 0;
    }
    if (options.version) {
        std::fputs(RecordVersion, stdout);
        return 0;
    }
    // From here a signal removes whatever the run made before it ends it.
    OutputSet files("patchview-record");
    OffscreenContext context;
    if (!context.open(options.width, options.height, error) ||
        !files.makeFolder(options.out, error)) {
        return failWith(error);
    }

    showText(MenuText);
    applyMenuChoice(readMenuKey());
    if (!styleFitsMode(options.style)) {
        return failWith("--derivatives scaled is for the Ferguson patches (key 1) only", 2);
    }
    showText(ComputingText);
    sampleSurface();
    setFrameStyle(options.style);
    if (options.style.colouring == Colouring::Distance) {
        std::printf("colour scale: %.3g %% of the radius (blue inside, red outside)\n",
                    distanceScalePercent());
    }
    handleReshape(options.width, options.height);
    enableDepthTest();

    std::printf("drawing %d frame%s of %dx%d with %s\n", options.frames,
                options.frames == 1 ? "" : "s", options.width, options.height,
                OffscreenContext::renderer().c_str());
    std::fflush(stdout);
    const std::string base =
        (patchMode == 0 ? "patchview-ferguson" : "patchview-cubic") + styleSuffix(options.style);
    if (!record(options, base, context, files, error)) {
        return failWith(error);
    }
    // The files are in place; where they are must not get lost unnoticed.
    if (!OutputSet::flushStandardOutput(error)) {
        return failWith(error + " (the files are written)");
    }
    return 0;
}
