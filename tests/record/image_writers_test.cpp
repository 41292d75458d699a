// The files are read back with libpng and giflib, and the GIF frames composed as a viewer shows
// them, against the pictures given.

#include <gif_lib.h>
#include <gtest/gtest.h>
#include <png.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "record/gif_writer.h"
#include "record/png_writer.h"

namespace {

using Bytes = std::vector<unsigned char>;

Image picture(int width, int height, const std::function<std::uint32_t(int, int)>& colourAt) {
    Image image{width, height, {}};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::uint32_t c = colourAt(x, y);
            image.rgb.insert(image.rgb.end(),
                             {std::uint8_t(c >> 16), std::uint8_t(c >> 8), std::uint8_t(c)});
        }
    }
    return image;
}

// What write put into a memory stream.
Bytes written(const std::function<bool(std::FILE*)>& write) {
    char* data = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&data, &size);
    EXPECT_TRUE(write(out));
    std::fclose(out);
    Bytes bytes(data, data + size);
    std::free(data);
    return bytes;
}

Bytes gif(const std::vector<Image>& frames) {
    return written([&](std::FILE* out) {
        GifWriter writer;
        std::string error;
        bool ok = writer.open(out, frames[0].width, frames[0].height, 7, error);
        for (const Image& frame : frames) {
            ok = ok && writer.addFrame(frame, error);
        }
        return ok && writer.close(error);
    });
}

struct Decoded {
    std::vector<Image> shown;          // the screen after each frame
    std::vector<GifImageDesc> stored;  // the rectangle each frame stores
};

// Composes the frames; every frame must wait 7 hundredths and leave the screen as it is, and
// the animation must loop forever.
Decoded decode(Bytes bytes) {
    auto read = [](GifFileType* gif, GifByteType* out, int n) {
        return int(std::fread(out, 1, std::size_t(n), static_cast<std::FILE*>(gif->UserData)));
    };
    std::FILE* in = fmemopen(bytes.data(), bytes.size(), "rb");
    int code = 0;
    GifFileType* gif = DGifOpen(in, read, &code);
    EXPECT_EQ(DGifSlurp(gif), GIF_OK) << GifErrorString(gif->Error);
    const ExtensionBlock* loop = gif->SavedImages[0].ExtensionBlocks;
    EXPECT_EQ(loop[0].Function, APPLICATION_EXT_FUNC_CODE);
    EXPECT_EQ(std::string(loop[0].Bytes, loop[0].Bytes + 11), "NETSCAPE2.0");
    EXPECT_EQ(Bytes(loop[1].Bytes, loop[1].Bytes + loop[1].ByteCount), Bytes({1, 0, 0}));
    Decoded decoded;
    Image screen{gif->SWidth, gif->SHeight, Bytes(std::size_t(gif->SWidth * gif->SHeight) * 3)};
    for (int f = 0; f < gif->ImageCount; ++f) {
        const SavedImage& frame = gif->SavedImages[f];
        GraphicsControlBlock control{};
        EXPECT_EQ(DGifSavedExtensionToGCB(gif, f, &control), GIF_OK);
        EXPECT_EQ(control.DelayTime, 7);
        EXPECT_EQ(control.DisposalMode, DISPOSE_DO_NOT);
        const GifImageDesc& d = frame.ImageDesc;
        for (int i = 0; i < d.Width * d.Height; ++i) {
            if (frame.RasterBits[i] != control.TransparentColor) {
                const GifColorType c = d.ColorMap->Colors[frame.RasterBits[i]];
                const int at = 3 * ((d.Top + i / d.Width) * screen.width + d.Left + i % d.Width);
                screen.rgb[at] = c.Red, screen.rgb[at + 1] = c.Green, screen.rgb[at + 2] = c.Blue;
            }
        }
        decoded.shown.push_back(screen);
        decoded.stored.push_back(d);
    }
    DGifCloseFile(gif, &code);
    std::fclose(in);
    return decoded;
}

TEST(PngWriter, RoundTripIsExactAndRepeatable) {
    const Image image =
        picture(37, 23, [](int x, int y) { return std::uint32_t(x * 0x9E3779B1u ^ y * 7919u); });
    std::string error;
    const Bytes bytes = written([&](std::FILE* out) { return writePng(out, image, error); });
    EXPECT_EQ(written([&](std::FILE* out) { return writePng(out, image, error); }), bytes);
    png_image read{};
    read.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_memory(&read, bytes.data(), bytes.size()));
    EXPECT_EQ(read.format, PNG_FORMAT_RGB);
    Bytes rgb(PNG_IMAGE_SIZE(read));
    ASSERT_TRUE(png_image_finish_read(&read, nullptr, rgb.data(), 0, nullptr));
    EXPECT_EQ(rgb, image.rgb);
}

TEST(GifWriter, FewColoursComeBackExactlyFromTheChangedRectangles) {
    const std::uint32_t stripes[] = {0x000000, 0x0000CC, 0x00CC33, 0x336699};
    // Near-black corners: kept, though merging them with black would be within the allowance.
    auto base = [&](int x, int y) {
        return x < 3 && y < 3 ? 0x010203 : stripes[(x / 5 + y / 7) % 4];
    };
    const Image first = picture(120, 90, base);
    const Image patched = picture(120, 90, [&](int x, int y) {
        return x >= 10 && x < 16 && y >= 12 && y < 16 ? 0x010203u : base(x, y);
    });
    const std::vector<Image> frames = {first, patched, patched, first};
    const Decoded decoded = decode(gif(frames));
    ASSERT_EQ(decoded.shown.size(), frames.size());
    for (std::size_t f = 0; f < frames.size(); ++f) {
        EXPECT_EQ(decoded.shown[f].rgb, frames[f].rgb) << "frame " << f;
    }
    const GifImageDesc& block = decoded.stored[1];
    EXPECT_EQ(std::vector<int>({block.Left, block.Top, block.Width, block.Height}),
              std::vector<int>({10, 12, 6, 4}));
    EXPECT_EQ(decoded.stored[2].Width * decoded.stored[2].Height, 1);  // unchanged, still a frame
}

TEST(GifWriter, ShadedFramesStayWithinTheErrorAllowanceAndRepeat) {
    // A shaded ring on black, green and blue varying together and apart: some thousand colours a
    // frame. The tint and the light move on the right half only, so that the left half carries
    // its error from the first frame. A few dim red pixels would fit the mean allowance merged
    // into black, but not the bound on each pixel.
    std::vector<Image> frames;
    for (int k = 0; k < 5; ++k) {
        frames.push_back(picture(160, 120, [&](int x, int y) {
            const double dx = x - 80, dy = y - 60, u = (std::hypot(dx, dy) - 40) / 12;
            if (std::abs(u) >= 1) {
                return y == 2 && x < 30 ? std::uint32_t(40 + x) << 16 : 0u;
            }
            const int phase = x < 80 ? 2 : k;
            const double tint = 0.15 * phase;
            const double s =
                std::sqrt(1 - u * u) * (0.75 + 0.25 * std::cos(std::atan2(dy, dx) + 0.4 * phase));
            const auto g = std::uint32_t(std::lround(255 * (0.2 + (0.9 - tint) * s)));
            const auto b = std::uint32_t(std::lround(255 * (0.2 + tint * s) + 12 * u));
            return g << 8 | b;
        }));
    }
    const Bytes bytes = gif(frames);
    EXPECT_EQ(gif(frames), bytes);
    const Decoded decoded = decode(bytes);
    ASSERT_EQ(decoded.shown.size(), frames.size());
    for (std::size_t f = 0; f < frames.size(); ++f) {
        int largest = 0, sum = 0;
        for (std::size_t i = 0; i < frames[f].rgb.size(); ++i) {
            const int d = std::abs(decoded.shown[f].rgb[i] - frames[f].rgb[i]);
            largest = std::max(largest, d);
            sum += d;
        }
        EXPECT_LE(largest, 8) << "frame " << f;
        EXPECT_LE(sum, 160 * 120 * 3 * 255 / 1000) << "frame " << f;
        EXPECT_GT(sum, 0) << "frame " << f;  // the allowance is used, not wasted
    }
}

TEST(Writers, AFullDiskIsReported) {
    const Image image = picture(16, 16, [](int x, int) { return std::uint32_t(x); });
    const std::string full = std::strerror(ENOSPC);
    std::FILE* out = std::fopen("/dev/full", "wb");
    ASSERT_NE(out, nullptr);
    std::setvbuf(out, nullptr, _IONBF, 0);
    std::string error;
    EXPECT_FALSE(writePng(out, image, error));
    EXPECT_NE(error.find(full), std::string::npos) << error;
    GifWriter writer;
    error.clear();
    EXPECT_FALSE(writer.open(out, 16, 16, 7, error) && writer.addFrame(image, error) &&
                 writer.close(error));
    EXPECT_NE(error.find(full), std::string::npos) << error;
    std::fclose(out);
}

}  // namespace
