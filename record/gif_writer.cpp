#include "record/gif_writer.h"

#include <gif_lib.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "record/palette.h"

namespace {

// Where giflib's bytes go: the caller's file, with the first failure kept for the message.
struct Sink {
    std::FILE* out = nullptr;
    bool discard = false;  // set when giflib is only being released
    std::string error;
};

int writeBytes(GifFileType* gif, const GifByteType* data, int length) {
    auto& sink = *static_cast<Sink*>(gif->UserData);
    if (sink.discard) {
        return length;
    }
    const std::size_t written = std::fwrite(data, 1, std::size_t(length), sink.out);
    if (written != std::size_t(length) && sink.error.empty()) {
        sink.error = std::string("GIF write failed: ") + std::strerror(errno);
    }
    return int(written);
}

std::string giflibError(const char* step, int code) {
    const char* text = GifErrorString(code);
    return std::string("giflib: ") + step + ": " + (text ? text : "unknown error");
}

// The error a frame may carry against the pixels given: every channel of every pixel within
// LargestDifference levels, and the channel differences of the whole frame at most
// 1 / MeanDifferenceDivisor of full scale on average. Shaded frames spend it on fewer palette
// entries: LZW pays for every colour, and lossless they take about 66 KB each at 600 x 600.
constexpr std::uint32_t LargestDifference = 8;
constexpr std::uint64_t MeanDifferenceDivisor = 1000;

std::uint32_t rgbAt(const std::uint8_t* p) {
    return std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2];
}

}  // namespace

struct GifWriter::State {
    Sink sink;
    GifFileType* gif = nullptr;
    int width = 0;
    int height = 0;
    int delay = 0;
    int frames = 0;
    bool broken = false;                  // a failed step left the stream unusable
    std::vector<std::uint32_t> previous;  // the last frame given
    std::vector<std::uint32_t> current;
    std::vector<std::uint32_t> screen;  // what a viewer shows after the last frame
    std::vector<GifByteType> indices;
    Quantizer quantizer;

    bool fail(std::string& message, const char* step) {
        broken = true;
        message = !sink.error.empty() ? sink.error : giflibError(step, gif->Error);
        return false;
    }
    bool writeFrame(std::string& error);
};

GifWriter::GifWriter() : state_(std::make_unique<State>()) {}

GifWriter::~GifWriter() {
    if (state_->gif != nullptr) {
        state_->sink.discard = true;  // no trailer for an unfinished file
        EGifCloseFile(state_->gif, nullptr);
    }
}

bool GifWriter::open(std::FILE* out, int width, int height, int delayCs, std::string& error) {
    State& s = *state_;
    if (s.gif != nullptr) {
        error = "GIF: already open";
        return false;
    }
    if (out == nullptr || width < 1 || height < 1 || width > 65535 || height > 65535 ||
        delayCs < 0 || delayCs > 65535) {
        error = "GIF: no file, or size or delay out of range";
        return false;
    }
    s.sink = Sink{out, false, {}};
    s.width = width;
    s.height = height;
    s.delay = delayCs;
    s.frames = 0;
    s.broken = false;
    int code = 0;
    s.gif = EGifOpen(&s.sink, writeBytes, &code);
    if (s.gif == nullptr) {
        error = giflibError("open", code);
        return false;
    }
    // Streaming: giflib cannot see the extensions to come, so it must be told.
    EGifSetGifVersion(s.gif, true);
    static const GifByteType loopForever[] = {1, 0, 0};
    if (EGifPutScreenDesc(s.gif, width, height, 8, 0, nullptr) == GIF_ERROR ||
        EGifPutExtensionLeader(s.gif, APPLICATION_EXT_FUNC_CODE) == GIF_ERROR ||
        EGifPutExtensionBlock(s.gif, 11, "NETSCAPE2.0") == GIF_ERROR ||
        EGifPutExtensionBlock(s.gif, 3, loopForever) == GIF_ERROR ||
        EGifPutExtensionTrailer(s.gif) == GIF_ERROR) {
        return s.fail(error, "header");
    }
    return true;
}

bool GifWriter::addFrame(const Image& frame, std::string& error) {
    State& s = *state_;
    if (s.gif == nullptr || s.broken) {
        error = s.gif == nullptr ? "GIF: not open" : "GIF: an earlier step failed";
        return false;
    }
    if (frame.width != s.width || frame.height != s.height ||
        frame.rgb.size() != std::size_t(s.width) * std::size_t(s.height) * 3) {
        error = "GIF: frame size differs from the animation's";
        return false;
    }
    const std::size_t pixels = std::size_t(s.width) * std::size_t(s.height);
    s.current.resize(pixels);
    for (std::size_t i = 0; i < pixels; ++i) {
        s.current[i] = rgbAt(&frame.rgb[3 * i]);
    }
    if (!s.writeFrame(error)) {
        return false;
    }
    s.previous.swap(s.current);
    ++s.frames;
    return true;
}

bool GifWriter::State::writeFrame(std::string& error) {
    const bool first = frames == 0;
    const int w = width;
    // The rectangle of changed pixels.
    int left = 0, top = 0, right = w, bottom = height;
    if (!first) {
        left = w;
        top = height;
        right = 0;
        bottom = 0;
        for (int y = 0; y < height; ++y) {
            const std::uint32_t* now = &current[std::size_t(y) * std::size_t(w)];
            const std::uint32_t* before = &previous[std::size_t(y) * std::size_t(w)];
            int x0 = 0;
            while (x0 < w && now[x0] == before[x0]) {
                ++x0;
            }
            if (x0 == w) {
                continue;
            }
            int x1 = w;
            while (now[x1 - 1] == before[x1 - 1]) {
                --x1;
            }
            left = std::min(left, x0);
            right = std::max(right, x1);
            top = std::min(top, y);
            bottom = y + 1;
        }
    }
    quantizer.clear();
    for (int y = top; y < bottom; ++y) {
        for (std::size_t i = std::size_t(y) * std::size_t(w) + std::size_t(left),
                         end = std::size_t(y) * std::size_t(w) + std::size_t(right);
             i < end; ++i) {
            if (first || current[i] != previous[i]) {
                quantizer.count(current[i]);
            }
        }
    }
    // What the pixels left alone already cost of the frame's error allowance.
    std::uint64_t carried = 0;
    if (!first) {
        for (std::size_t i = 0; i < current.size(); ++i) {
            if (current[i] == previous[i]) {
                carried += differenceSum(screen[i], current[i]);
            }
        }
    }
    const std::uint64_t allowed = current.size() * 3 * 255 / MeanDifferenceDivisor;
    const ErrorBudget budget{LargestDifference, allowed > carried ? allowed - carried : 0};
    const std::vector<std::uint32_t>& palette = quantizer.choose(first ? 256 : 255, budget);
    const int transparent = first ? NO_TRANSPARENT_COLOR : int(palette.size());

    // Indices of the changed rectangle, and the smaller rectangle of the pixels not left
    // transparent.
    if (first) {
        screen.resize(current.size());
    }
    const int boxWidth = std::max(right - left, 0);
    indices.resize(std::size_t(boxWidth) * std::size_t(std::max(bottom - top, 0)));
    int codedLeft = w, codedTop = height, codedRight = 0, codedBottom = 0;
    std::uint32_t lastColour = 0;
    GifByteType lastIndex = 0;
    bool haveLast = false;
    for (int y = top; y < bottom; ++y) {
        GifByteType* row = &indices[std::size_t(y - top) * std::size_t(boxWidth)];
        for (int x = left; x < right; ++x) {
            const std::size_t i = std::size_t(y) * std::size_t(w) + std::size_t(x);
            const std::uint32_t colour = current[i];
            int index = transparent;
            if (first || colour != previous[i]) {
                if (!haveLast || colour != lastColour) {
                    lastColour = colour;
                    lastIndex = quantizer.indexOf(colour);
                    haveLast = true;
                }
                const std::uint32_t shown = palette[lastIndex];
                if (first || differenceSum(screen[i], colour) > differenceSum(shown, colour) ||
                    largestDifference(screen[i], colour) > largestDifference(shown, colour)) {
                    index = lastIndex;
                    screen[i] = shown;
                }
            }
            row[x - left] = GifByteType(index);
            if (index != transparent) {
                codedLeft = std::min(codedLeft, x);
                codedRight = std::max(codedRight, x + 1);
                codedTop = std::min(codedTop, y);
                codedBottom = y + 1;
            }
        }
    }
    const std::size_t colours = palette.size() + (transparent == NO_TRANSPARENT_COLOR ? 0 : 1);
    GifByteType blank = GifByteType(transparent);
    GifByteType* origin = &blank;
    std::size_t stride = 1;
    if (codedRight > codedLeft) {
        origin = &indices[std::size_t(codedTop - top) * std::size_t(boxWidth) +
                          std::size_t(codedLeft - left)];
        stride = std::size_t(boxWidth);
    } else {
        // Nothing changed, but the frame still counts: one transparent pixel.
        codedLeft = codedTop = 0;
        codedRight = codedBottom = 1;
    }
    const int codedWidth = codedRight - codedLeft;

    int bits = 1;
    while ((std::size_t(1) << bits) < colours) {
        ++bits;
    }
    ColorMapObject* map = GifMakeMapObject(1 << bits, nullptr);
    if (map == nullptr) {
        error = "giflib: out of memory";
        broken = true;
        return false;
    }
    for (int k = 0; k < map->ColorCount; ++k) {
        const std::uint32_t c = std::size_t(k) < palette.size() ? palette[std::size_t(k)] : 0;
        map->Colors[k] = {GifByteType(c >> 16), GifByteType(c >> 8), GifByteType(c)};
    }
    GraphicsControlBlock control{};
    control.DisposalMode = DISPOSE_DO_NOT;
    control.UserInputFlag = false;
    control.DelayTime = delay;
    control.TransparentColor = transparent;
    GifByteType extension[4];
    const std::size_t extensionLength = EGifGCBToExtension(&control, extension);
    const bool described = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(extensionLength),
                                            extension) != GIF_ERROR &&
                           EGifPutImageDesc(gif, codedLeft, codedTop, codedWidth,
                                            codedBottom - codedTop, false, map) != GIF_ERROR;
    GifFreeMapObject(map);  // giflib keeps its own copy
    if (!described) {
        return fail(error, "frame header");
    }
    for (int y = 0; y < codedBottom - codedTop; ++y) {
        if (EGifPutLine(gif, origin + std::size_t(y) * stride, codedWidth) == GIF_ERROR) {
            return fail(error, "frame pixels");
        }
    }
    return true;
}

bool GifWriter::close(std::string& error) {
    State& s = *state_;
    if (s.gif == nullptr) {
        error = "GIF: not open";
        return false;
    }
    int code = 0;
    const bool closed = EGifCloseFile(s.gif, &code) != GIF_ERROR;
    s.gif = nullptr;
    if (!s.sink.error.empty()) {
        error = s.sink.error;
        return false;
    }
    if (!closed) {
        error = giflibError("trailer", code);
        return false;
    }
    if (s.broken) {
        error = "GIF: an earlier step failed";
        return false;
    }
    if (s.frames == 0) {
        error = "GIF: no frames";
        return false;
    }
    return true;
}
