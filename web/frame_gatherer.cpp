#include "web/frame_gatherer.h"

#include <cmath>
#include <cstring>

namespace {

constexpr std::size_t FirstRoom = 1 << 16;
// GLU converts degrees with the full double pi, unlike the surface model.
constexpr double GluPi = 3.14159265358979323846;

void identity(double m[16]) {
    for (int k = 0; k < 16; ++k) {
        m[k] = k % 5 == 0 ? 1.0 : 0.0;
    }
}

// a := a * b, column-major.
void multiplyInto(double a[16], const double b[16]) {
    double product[16];
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 4; ++row) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k) {
                sum += a[k * 4 + row] * b[column * 4 + k];
            }
            product[column * 4 + row] = sum;
        }
    }
    std::memcpy(a, product, sizeof product);
}

void normalise(double v[3]) {
    const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (length != 0.0) {
        v[0] /= length;
        v[1] /= length;
        v[2] /= length;
    }
}

void cross(const double a[3], const double b[3], double out[3]) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

// Appends the triangles of one primitive whose first vertex is base.
std::uint32_t* appendTriangles(std::uint32_t mode, std::uint32_t n, std::uint32_t base,
                               std::uint32_t* out) {
    if (mode == GatherPolygon) {
        for (std::uint32_t k = 1; k + 1 < n; ++k) {
            *out++ = base;
            *out++ = base + k;
            *out++ = base + k + 1;
        }
    } else if (mode == GatherQuads) {
        // Each quad a fan from its first corner, as a polygon.
        for (std::uint32_t k = 0; 4 * k + 3 < n; ++k) {
            const std::uint32_t a = base + 4 * k;
            *out++ = a;
            *out++ = a + 1;
            *out++ = a + 2;
            *out++ = a;
            *out++ = a + 2;
            *out++ = a + 3;
        }
    } else if (mode == GatherQuadStrip) {
        // Quad k has the corners 2k, 2k + 1, 2k + 3, 2k + 2 in turn.
        for (std::uint32_t k = 0; 2 * k + 3 < n; ++k) {
            const std::uint32_t a = base + 2 * k;
            *out++ = a;
            *out++ = a + 1;
            *out++ = a + 3;
            *out++ = a;
            *out++ = a + 3;
            *out++ = a + 2;
        }
    }
    return out;
}

}  // namespace

std::uint32_t trianglesOf(std::uint32_t mode, std::uint32_t n) {
    if (mode == GatherPolygon) {
        return n >= 3 ? n - 2 : 0;
    }
    if (mode == GatherQuads) {
        return 2 * (n / 4);
    }
    if (mode == GatherQuadStrip) {
        return n >= 4 ? 2 * (n / 2 - 1) : 0;
    }
    return 0;
}

FrameGatherer::FrameGatherer() : vertices_(FirstRoom) {
    identity(projection_);
    identity(modelView_);
    storeFloats();
    next_ = vertices_.data();
    limit_ = next_ + vertices_.size();
}

void FrameGatherer::storeFloats() {
    for (int k = 0; k < 16; ++k) {
        projectionF_[k] = static_cast<float>(projection_[k]);
        modelViewF_[k] = static_cast<float>(modelView_[k]);
    }
}

void FrameGatherer::matrixMode(std::uint32_t mode) {
    mode_ = mode;
}

void FrameGatherer::loadIdentity() {
    identity(current());
    storeFloats();
}

void FrameGatherer::multiply(const double m[16]) {
    multiplyInto(current(), m);
    storeFloats();
}

void FrameGatherer::perspective(double fovy, double aspect, double zNear, double zFar) {
    const double half = fovy / 2 * GluPi / 180;
    const double depth = zFar - zNear;
    const double sine = std::sin(half);
    if (depth == 0.0 || sine == 0.0 || aspect == 0.0) {
        return;  // GLU leaves the matrix alone too
    }
    const double cotangent = std::cos(half) / sine;
    double m[16] = {};
    m[0] = cotangent / aspect;
    m[5] = cotangent;
    m[10] = -(zFar + zNear) / depth;
    m[11] = -1.0;
    m[14] = -2.0 * zNear * zFar / depth;
    multiply(m);
}

void FrameGatherer::lookAt(double ex, double ey, double ez, double cx, double cy, double cz,
                           double ux, double uy, double uz) {
    double forward[3] = {cx - ex, cy - ey, cz - ez};
    double up[3] = {ux, uy, uz};
    normalise(forward);
    double side[3];
    cross(forward, up, side);
    normalise(side);
    cross(side, forward, up);
    double m[16] = {};
    for (int k = 0; k < 3; ++k) {
        m[k * 4 + 0] = side[k];
        m[k * 4 + 1] = up[k];
        m[k * 4 + 2] = -forward[k];
    }
    m[15] = 1.0;
    multiply(m);
    double shift[16];
    identity(shift);
    shift[12] = -ex;
    shift[13] = -ey;
    shift[14] = -ez;
    multiply(shift);
}

void FrameGatherer::begin(std::uint32_t mode) {
    primitiveMode_ = mode;
    primitiveStart_ = next_;
    inPrimitive_ = true;
}

std::uint8_t colourChannel(float c) {
    // Selects, not branches: a frame's shades fall either side of the clamps
    // at random. A channel that is not a number fails c > 0 and gives 0.
    const float low = c > 0.0f ? c : 0.0f;
    const float clamped = low < 1.0f ? low : 1.0f;
    // In double, where c * 255 is exact: halves round up, as GL rounds them.
    return static_cast<std::uint8_t>(static_cast<double>(clamped) * 255.0 + 0.5);
}

void FrameGatherer::colour(float r, float g, float b) {
    colour_ = 0xff000000u | std::uint32_t{colourChannel(b)} << 16 |
              std::uint32_t{colourChannel(g)} << 8 | colourChannel(r);
}

void FrameGatherer::grow() {
    const std::size_t used = vertexCount();
    const std::size_t start = static_cast<std::size_t>(primitiveStart_ - vertices_.data());
    vertices_.resize(2 * vertices_.size());
    next_ = vertices_.data() + used;
    limit_ = vertices_.data() + vertices_.size();
    primitiveStart_ = vertices_.data() + start;
}

void FrameGatherer::end() {
    if (!inPrimitive_) {
        return;
    }
    inPrimitive_ = false;
    const auto n = static_cast<std::uint32_t>(next_ - primitiveStart_);
    if (trianglesOf(primitiveMode_, n) == 0) {
        next_ = primitiveStart_;  // nothing of it would be seen
        return;
    }
    if (!runs_.empty() && runs_.back().mode == primitiveMode_ && runs_.back().vertices == n) {
        ++runs_.back().count;
    } else {
        runs_.push_back({primitiveMode_, n, 1});
    }
}

const std::vector<std::uint32_t>& FrameGatherer::indices(std::size_t& count, bool& unchanged) {
    std::size_t triangles = 0;
    for (const PrimitiveRun& run : runs_) {
        triangles += std::size_t{trianglesOf(run.mode, run.vertices)} * run.count;
    }
    count = 3 * triangles;
    if (runs_.size() == 1 && runs_[0].mode == kept_.mode && runs_[0].vertices == kept_.vertices &&
        runs_[0].count <= kept_.count) {
        unchanged = true;
        return indices_;
    }
    unchanged = false;
    // A frame of one kind of primitive keeps room for twice as many, so that
    // the next frames, which cull a little more or less, draw a prefix.
    const bool uniform = runs_.size() == 1;
    const std::size_t room = uniform ? 2 * count : count;
    indices_.resize(room);
    std::uint32_t* out = indices_.data();
    std::uint32_t base = 0;
    if (uniform) {
        const PrimitiveRun& run = runs_[0];
        for (std::uint32_t p = 0; p < 2 * run.count; ++p, base += run.vertices) {
            out = appendTriangles(run.mode, run.vertices, base, out);
        }
        kept_ = {run.mode, run.vertices, 2 * run.count};
    } else {
        for (const PrimitiveRun& run : runs_) {
            for (std::uint32_t p = 0; p < run.count; ++p, base += run.vertices) {
                out = appendTriangles(run.mode, run.vertices, base, out);
            }
        }
        kept_ = {0, 0, 0};
    }
    return indices_;
}

void FrameGatherer::clear() {
    next_ = vertices_.data();
    runs_.clear();
}
