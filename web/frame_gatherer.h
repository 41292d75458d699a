#pragma once
// Gathers what immediate-mode GL calls draw into arrays that WebGL draws in
// one call per batch: every vertex with the colour current at its call, in
// call order, the primitives they form, the triangles that those make, and
// the projection and model-view matrices that the vertices are seen through.

#include <cstddef>
#include <cstdint>
#include <vector>

// GL's numbers for the primitives and matrix modes that the host knows.
constexpr std::uint32_t GatherQuads = 0x0007;       // GL_QUADS
constexpr std::uint32_t GatherPolygon = 0x0009;     // GL_POLYGON
constexpr std::uint32_t GatherQuadStrip = 0x0008;   // GL_QUAD_STRIP
constexpr std::uint32_t GatherModelView = 0x1700;   // GL_MODELVIEW
constexpr std::uint32_t GatherProjection = 0x1701;  // GL_PROJECTION

// One vertex as uploaded: its position, then the colour current at its
// call as the 8-bit channels that the picture holds of it: red, green and
// blue in the low three bytes of rgb (memory order on a little-endian
// machine, as WebAssembly is), the top byte 255. A word, not bytes, so that
// the compiler need not assume that a colour store changes the gatherer.
struct GatheredVertex {
    float x, y, z;
    std::uint32_t rgb;
};

// The channels of a gathered colour.
inline std::uint8_t redOf(std::uint32_t rgb) {
    return static_cast<std::uint8_t>(rgb);
}
inline std::uint8_t greenOf(std::uint32_t rgb) {
    return static_cast<std::uint8_t>(rgb >> 8);
}
inline std::uint8_t blueOf(std::uint32_t rgb) {
    return static_cast<std::uint8_t>(rgb >> 16);
}

// A colour channel as GL stores it in 8 bits: clamped to [0, 1], then the
// nearest of 0, 1/255, ..., 1.
std::uint8_t colourChannel(float c);

// Consecutive primitives of the same mode and vertex count.
struct PrimitiveRun {
    std::uint32_t mode;
    std::uint32_t vertices;  // per primitive
    std::uint32_t count;     // primitives in the run
};

// Triangles of a primitive of mode with n vertices: a polygon is a fan from
// its first vertex; quads and a quad strip give two triangles per quad
// (vertices left over, if any, are dropped, as GL drops them). Other modes
// give none.
std::uint32_t trianglesOf(std::uint32_t mode, std::uint32_t n);

class FrameGatherer {
  public:
    FrameGatherer();

    // The matrix stack's top of the current mode, as GL keeps it; matrices
    // are column-major and products are taken on the right, as GL takes them.
    void matrixMode(std::uint32_t mode);
    void loadIdentity();
    void multiply(const double m[16]);
    // GLU's perspective projection and look-at view, multiplied on.
    void perspective(double fovy, double aspect, double zNear, double zFar);
    void lookAt(double ex, double ey, double ez, double cx, double cy, double cz, double ux,
                double uy, double uz);

    void begin(std::uint32_t mode);
    void colour(float r, float g, float b);
    // Inline: the display code sends every vertex through here.
    void vertex(float x, float y, float z) {
        if (!inPrimitive_) {
            return;  // GL ignores a vertex outside begin and end
        }
        if (next_ == limit_) {
            grow();
        }
        *next_++ = {x, y, z, colour_};
    }
    void end();

    // Between begin and end, where GL refuses every other call.
    bool inPrimitive() const { return inPrimitive_; }
    // Whether vertices wait to be drawn.
    bool pending() const { return next_ != vertices_.data(); }

    // What waits: the vertices, the primitives in runs, and the matrices at
    // their time (as floats, the precision that GL draws with).
    const GatheredVertex* vertices() const { return vertices_.data(); }
    std::size_t vertexCount() const { return static_cast<std::size_t>(next_ - vertices_.data()); }
    const std::vector<PrimitiveRun>& runs() const { return runs_; }
    const float* projection() const { return projectionF_; }
    const float* modelView() const { return modelViewF_; }

    // The triangles of what waits, three vertex indices each. Frames whose
    // primitives all share one mode and size keep one list and draw a prefix
    // of it; unchanged() tells whether the list is the one returned last.
    const std::vector<std::uint32_t>& indices(std::size_t& count, bool& unchanged);

    // Forgets what waits (after it was drawn); the room stays for the next.
    void clear();

  private:
    // Out of line: the vertex path stays small where it is inlined.
    [[gnu::noinline]] void grow();
    double* current() { return mode_ == GatherProjection ? projection_ : modelView_; }
    void storeFloats();

    double projection_[16];
    double modelView_[16];
    float projectionF_[16];
    float modelViewF_[16];
    std::uint32_t mode_ = GatherModelView;

    std::vector<GatheredVertex> vertices_;
    GatheredVertex* next_;
    GatheredVertex* limit_;
    std::uint32_t colour_ = 0xffffffffu;

    std::vector<PrimitiveRun> runs_;
    std::uint32_t primitiveMode_ = 0;
    GatheredVertex* primitiveStart_ = nullptr;
    bool inPrimitive_ = false;

    std::vector<std::uint32_t> indices_;
    // What the kept list holds: primitives of one mode and size, how many.
    PrimitiveRun kept_ = {0, 0, 0};
};
