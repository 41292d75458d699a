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
    // Rectangles are [left, right) x [top, bottom).
    struct Rect {
        int left, top, right, bottom;
    };
    // Where the frame given differs from the one before; the whole frame first.
    Rect changedRect() const;
    // The error of what the screen shows where the frame given did not change.
    std::uint64_t carriedError() const;
    // Fills indices for box and the screen; returns the rectangle of pixels not transparent.
    Rect mapPixels(const Rect& box, const std::vector<std::uint32_t>& palette, int transparent);
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

GifWriter::State::Rect GifWriter::State::changedRect() const {
    if (frames == 0) {
        return {0, 0, width, height};
    }
    Rect r{width, height, 0, 0};
    for (int y = 0; y < height; ++y) {
        const std::uint32_t* now = &current[std::size_t(y) * std::size_t(width)];
        const std::uint32_t* before = &previous[std::size_t(y) * std::size_t(width)];
        int x0 = 0;
        while (x0 < width && now[x0] == before[x0]) {
            ++x0;
        }
        if (x0 == width) {
            continue;
        }
        int x1 = width;
        while (now[x1 - 1] == before[x1 - 1]) {
            --x1;
        }
        r = {std::min(r.left, x0), std::min(r.top, y), std::max(r.right, x1), y + 1};
    }
    return r;
}

std::uint64_t GifWriter::State::carriedError() const {
    std::uint64_t carried = 0;
    if (frames != 0) {
        for (std::size_t i = 0; i < current.size(); ++i) {
            if (current[i] == previous[i]) {
                carried += differenceSum(screen[i], current[i]);
            }
        }
    }
    return carried;
}

GifWriter::State::Rect GifWriter::State::mapPixels(const Rect& box,
                                                   const std::vector<std::uint32_t>& palette,
                                                   int transparent) {
    const bool first = frames == 0;
    const std::size_t boxWidth = std::size_t(box.right - box.left);
    indices.resize(boxWidth * std::size_t(box.bottom - box.top));
    Rect coded{width, height, 0, 0};
    std::uint32_t lastColour = 0;
    GifByteType lastIndex = 0;
    bool haveLast = false;
    for (int y = box.top; y < box.bottom; ++y) {
        GifByteType* row = &indices[std::size_t(y - box.top) * boxWidth];
        for (int x = box.left; x < box.right; ++x) {
            const std::size_t i = std::size_t(y) * std::size_t(width) + std::size_t(x);
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
            row[x - box.left] = GifByteType(index);
            if (index != transparent) {
                coded = {std::min(coded.left, x), std::min(coded.top, y),
                         std::max(coded.right, x + 1), y + 1};
            }
        }
    }
    return coded;
}

bool GifWriter::State::writeFrame(std::string& error) {
    const bool first = frames == 0;
    const Rect box = changedRect();
    quantizer.clear();
    for (int y = box.top; y < box.bottom; ++y) {
        for (int x = box.left; x < box.right; ++x) {
            const std::size_t i = std::size_t(y) * std::size_t(width) + std::size_t(x);
            if (first || current[i] != previous[i]) {
                quantizer.count(current[i]);
            }
        }
    }
    // The pixels left alone already spend part of the frame's allowance.
    const std::uint64_t allowed = current.size() * 3 * 255 / MeanDifferenceDivisor;
    const std::uint64_t carried = carriedError();
    const ErrorBudget budget{LargestDifference, allowed > carried ? allowed - carried : 0};
    const std::vector<std::uint32_t>& palette = quantizer.choose(first ? 256 : 255, budget);
    const int transparent = first ? NO_TRANSPARENT_COLOR : int(palette.size());
    if (first) {
        screen.resize(current.size());
    }
    Rect coded = box.right > box.left ? mapPixels(box, palette, transparent) : Rect{0, 0, 0, 0};
    GifByteType blank = GifByteType(transparent);
    GifByteType* origin = &blank;
    std::size_t stride = 1;
    if (coded.right > coded.left) {
        stride = std::size_t(box.right - box.left);
        origin = &indices[std::size_t(coded.top - box.top) * stride +
                          std::size_t(coded.left - box.left)];
    } else {
        coded = {0, 0, 1, 1};  // nothing changed, but the frame still counts
    }

    const std::size_t colours = palette.size() + (first ? 0 : 1);
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
    const int codedWidth = coded.right - coded.left;
    const bool described = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(extensionLength),
                                            extension) != GIF_ERROR &&
                           EGifPutImageDesc(gif, coded.left, coded.top, codedWidth,
                                            coded.bottom - coded.top, false, map) != GIF_ERROR;
    GifFreeMapObject(map);  // giflib keeps its own copy
    if (!described) {
        return fail(error, "frame header");
    }
    for (int y = 0; y < coded.bottom - coded.top; ++y) {
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
