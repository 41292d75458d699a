// patchview-record: the viewer's console dialogue, then its animation drawn
// offscreen through EGL, with no window and no X server, and saved as a
// looping GIF, the last frame as a PNG and, on request, every frame as a PNG.

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "app/console.h"
#include "app/globals.h"
#include "app/view.h"
#include "record/encoder_thread.h"
#include "record/frame_loop.h"
#include "record/gif_writer.h"
#include "record/image.h"
#include "record/offscreen_context.h"
#include "record/options.h"
#include "record/output_files.h"
#include "record/png_writer.h"
#include "surface/surface_grid.h"

namespace {

constexpr int GifDelayCs = 10;  // 10 frames a second

int failWith(const std::string& message, int status = 1) {
    std::fprintf(stderr, "patchview-record: %s\n", message.c_str());
    return status;
}

// patchview-MODE-000.png: three digits, more when the count needs them.
std::string frameName(const std::string& base, int k, int count) {
    const int digits = count > 1000 ? 4 : 3;
    char number[16];
    std::snprintf(number, sizeof number, "%0*d", digits, k);
    return base + "-" + number + ".png";
}

// Draws the frames and writes the files; on failure nothing is left. The
// frames are encoded on a second thread while the next one is drawn.
bool record(const RecordOptions& options, const std::string& base, OffscreenContext& context,
            std::string& error) {
    std::vector<std::string> names = {base + ".gif"};
    if (options.pngFrames) {
        for (int k = 0; k < options.frames; ++k) {
            names.push_back(frameName(base, k, options.frames));
        }
    }
    names.push_back(base + ".png");
    OutputFiles files(options.out, names);

    // Failures name the file they were writing.
    const auto writing = [&files](std::size_t n, std::string& why) {
        why = "cannot write " + files.path(n) + ": " + why;
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
            return OutputFiles::caughtSignal() == 0 &&
                   (gif.addFrame(frame, why) || writing(0, why)) &&
                   (!options.pngFrames || writePicture(1 + k, frame, why)) &&
                   (k + 1 < options.frames || writePicture(names.size() - 1, frame, why));
        });
        Image frame;
        const bool drawn = drawFrames(options.frames, [&](int) {
            context.readPicture(frame);
            return OutputFiles::caughtSignal() == 0 && encoder.push(frame);
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
    std::printf("animation: %s (%d frame%s)\n", files.path(0).c_str(), options.frames,
                options.frames == 1 ? "" : "s");
    if (options.pngFrames) {
        std::printf("frames: %s to %s\n", files.path(1).c_str(),
                    files.path(names.size() - 2).c_str());
    }
    std::printf("last frame: %s\n", files.path(names.size() - 1).c_str());
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
    OffscreenContext context;
    if (!context.open(options.width, options.height, error) || !prepareFolder(options.out, error)) {
        return failWith(error);
    }

    showText(MenuText);
    applyMenuChoice(readMenuKey());
    showText(ComputingText);
    sampleSurface();
    handleReshape(options.width, options.height);
    enableDepthTest();

    std::printf("drawing %d frame%s of %dx%d with %s\n", options.frames,
                options.frames == 1 ? "" : "s", options.width, options.height,
                OffscreenContext::renderer().c_str());
    std::fflush(stdout);
    const std::string base = patchMode == 0 ? "patchview-ferguson" : "patchview-cubic";
    if (!record(options, base, context, error)) {
        if (const int signal = OutputFiles::caughtSignal()) {
            // The files are gone: end as the signal would have ended us.
            std::signal(signal, SIG_DFL);
            std::raise(signal);
        }
        return failWith(error);
    }
    return 0;
}
