#include "record/png_writer.h"

#include <png.h>
#include <zlib.h>

#include <cerrno>
#include <csetjmp>
#include <cstring>
#include <vector>

namespace {

struct PngSink {
    std::FILE* out;
    char message[256];  // the first failure wins: later ones are its consequences
};

void remember(PngSink& sink, const char* prefix, const char* what) {
    if (sink.message[0] == '\0') {
        std::snprintf(sink.message, sizeof sink.message, "%s%s", prefix, what);
    }
}

void onError(png_structp png, png_const_charp message) {
    remember(*static_cast<PngSink*>(png_get_error_ptr(png)), "libpng: ", message);
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

void writeBytes(png_structp png, png_bytep data, size_t length) {
    auto& sink = *static_cast<PngSink*>(png_get_io_ptr(png));
    if (std::fwrite(data, 1, length, sink.out) != length) {
        remember(sink, "PNG write failed: ", std::strerror(errno));
        png_error(png, "write failed");
    }
}

void flushBytes(png_structp png) {
    auto& sink = *static_cast<PngSink*>(png_get_io_ptr(png));
    if (std::fflush(sink.out) != 0) {
        remember(sink, "PNG write failed: ", std::strerror(errno));
        png_error(png, "flush failed");
    }
}

// Kept apart from writePng so that no object with a destructor lives across the setjmp.
bool encode(PngSink& sink, const Image& image, png_bytep* rows) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &sink, onError, onWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        remember(sink, "libpng: ", "out of memory");
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &sink, writeBytes, flushBytes);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width),
                 static_cast<png_uint_32>(image.height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // Frames are mostly flat background and shading that changes little from row to row: the Up
    // filter with run-length matching is faster and smaller than zlib's string search.
    png_set_compression_strategy(png, Z_RLE);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool writePng(std::FILE* out, const Image& image, std::string& error) {
    if (image.width <= 0 || image.height <= 0 ||
        image.rgb.size() != std::size_t(image.width) * std::size_t(image.height) * 3) {
        error = "PNG: image size does not match its pixels";
        return false;
    }
    std::vector<png_bytep> rows(std::size_t(image.height));
    for (std::size_t y = 0; y < rows.size(); ++y) {
        // libpng only reads the rows it is given
        rows[y] = const_cast<png_bytep>(image.rgb.data() + y * std::size_t(image.width) * 3);
    }
    PngSink sink{out, {}};
    if (!encode(sink, image, rows.data())) {
        error = sink.message;
        return false;
    }
    if (std::fflush(out) != 0) {
        error = std::string("PNG write failed: ") + std::strerror(errno);
        return false;
    }
    return true;
}
