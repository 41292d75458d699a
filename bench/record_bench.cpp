// The recorder's encoders on animations made from the sample pictures in docs/: frame k turned
// by k times the orbit step of 10 degrees, by nearest pixel so that no colour is added. Cubic
// frames are tinted again as the animation phase moves; the spread variant also varies blue
// across the picture, for thousands of colours a frame.

#include <benchmark/benchmark.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "record/gif_writer.h"
#include "record/png_writer.h"

namespace {

enum Kind { Ferguson, Cubic, CubicSpread };
constexpr int Frames = 36;

Image readSample(const std::string& name) {
    png_image read{};
    read.version = PNG_IMAGE_VERSION;
    Image image;
    if (png_image_begin_read_from_file(&read, (PATCHVIEW_DOCS "/" + name).c_str())) {
        read.format = PNG_FORMAT_RGB;
        image = {int(read.width), int(read.height),
                 std::vector<std::uint8_t>(PNG_IMAGE_SIZE(read))};
        png_image_finish_read(&read, nullptr, image.rgb.data(), 0, nullptr);
    }
    return image;
}

Image frame(const Image& sample, int k, Kind kind) {
    const double angle = k * 10 * M_PI / 180, c = std::cos(angle), s = std::sin(angle);
    const int w = sample.width, h = sample.height;
    // The sample's own tint is about 0.03.
    const double phase = 0.025 * k, sampleTint = 0.03;
    auto level = [](double v) { return std::uint8_t(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
    Image out{w, h, std::vector<std::uint8_t>(sample.rgb.size())};
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const double dx = x - w / 2.0 + 0.5, dy = y - h / 2.0 + 0.5;
            const int sx = int(std::floor(c * dx - s * dy + w / 2.0));
            const int sy = int(std::floor(s * dx + c * dy + h / 2.0));
            if (sx < 0 || sy < 0 || sx >= w || sy >= h) {
                continue;
            }
            const std::uint8_t* from = &sample.rgb[3 * std::size_t(sy * w + sx)];
            std::uint8_t* to = &out.rgb[3 * std::size_t(y * w + x)];
            std::copy(from, from + 3, to);
            if (kind != Ferguson && (from[1] | from[2]) != 0) {
                const double shade = (from[1] / 255.0 - 0.2) / (0.9 - sampleTint);
                const double spread =
                    kind == CubicSpread ? 0.09 * std::sin(x / 23.0 + k) * std::cos(y / 31.0) : 0;
                to[1] = level((0.9 - phase) * shade + 0.2);
                to[2] = level(phase * (shade + spread) + 0.2);
            }
        }
    }
    return out;
}

const std::vector<Image>& animation(Kind kind) {
    static std::vector<Image> made[3];
    if (made[kind].empty()) {
        const Image sample = readSample(kind == Ferguson ? "ferguson.png" : "cubic.png");
        for (int k = 0; k < Frames; ++k) {
            made[kind].push_back(frame(sample, k, kind));
        }
    }
    return made[kind];
}

// A stream that only counts what is written to it.
std::FILE* counting(std::size_t& bytes) {
    cookie_io_functions_t io{};
    io.write = [](void* count, const char*, std::size_t n) -> ssize_t {
        *static_cast<std::size_t*>(count) += n;
        return ssize_t(n);
    };
    return fopencookie(&bytes, "w", io);
}

const char* label(Kind kind) {
    return kind == Ferguson ? "Ferguson" : kind == Cubic ? "cubic" : "cubic, spread";
}

void BM_PngFrame(benchmark::State& state) {
    const Kind kind = Kind(state.range(0));
    const Image& image = animation(kind)[0];
    std::size_t bytes = 0;
    std::FILE* out = counting(bytes);
    std::string error;
    for (auto _ : state) {
        if (!writePng(out, image, error)) {
            state.SkipWithError(error.c_str());
        }
    }
    std::fclose(out);
    state.counters["KB"] = double(bytes) / 1000 / double(state.iterations());
    state.SetLabel(label(kind));
}
BENCHMARK(BM_PngFrame)->DenseRange(Ferguson, Cubic)->Unit(benchmark::kMillisecond);

// One frame per iteration, the animation over and over, so that every frame but the very
// first is stored as a change. KB36 is the size of 36 frames.
void BM_GifFrame(benchmark::State& state) {
    const Kind kind = Kind(state.range(0));
    const std::vector<Image>& frames = animation(kind);
    std::size_t bytes = 0;
    std::FILE* out = counting(bytes);
    GifWriter writer;
    std::string error;
    writer.open(out, frames[0].width, frames[0].height, 10, error);
    std::size_t k = 0;
    for (auto _ : state) {
        if (!writer.addFrame(frames[k++ % frames.size()], error)) {
            state.SkipWithError(error.c_str());
        }
    }
    writer.close(error);
    std::fclose(out);
    state.counters["KB36"] = double(bytes) / 1000 / double(k) * Frames;
    state.SetLabel(label(kind));
}
BENCHMARK(BM_GifFrame)->DenseRange(Ferguson, CubicSpread)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
