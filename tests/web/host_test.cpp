// The web host natively: the arrays that its GL entry points gather from the
// display code, the triangles and matrices that WebGL draws them with, and
// the still-frame links of the page.

#include <GL/freeglut.h>
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/view.h"
#include "display/frame_style.h"
#include "primitive_digest.h"
#include "record/frame_loop.h"
#include "surface_fixture.h"
#include "web/gl_backend.h"
#include "web/still_link.h"

namespace {

// What reached WebGL, in order, and the primitives of the batches drawn.
struct Recorder : GlBackend {
    std::vector<std::string> calls;
    PrimitiveDigest digest;
    std::vector<std::uint32_t> lastIndices;
    std::size_t lastIndexCount = 0;
    bool lastUnchanged = false;
    float projection[16] = {};
    float modelView[16] = {};

    void clear(std::uint32_t mask) override { calls.push_back("clear " + std::to_string(mask)); }
    void viewport(int x, int y, int w, int h) override {
        calls.push_back("viewport " + std::to_string(x) + " " + std::to_string(y) + " " +
                        std::to_string(w) + " " + std::to_string(h));
    }
    void enable(std::uint32_t c) override { calls.push_back("enable " + std::to_string(c)); }
    void depthFunc(std::uint32_t f) override { calls.push_back("depth " + std::to_string(f)); }
    void present() override { calls.push_back("present"); }
    void draw(FrameGatherer& batch) override {
        calls.push_back("draw " + std::to_string(batch.vertexCount()));
        const GatheredVertex* v = batch.vertices();
        for (const PrimitiveRun& run : batch.runs()) {
            for (std::uint32_t p = 0; p < run.count; ++p) {
                digest.begin(run.mode);
                for (std::uint32_t n = 0; n < run.vertices; ++n, ++v) {
                    digest.channels(redOf(v->rgb), greenOf(v->rgb), blueOf(v->rgb));
                    digest.vertex(v->x, v->y, v->z);
                }
                digest.end();
            }
        }
        EXPECT_EQ(v, batch.vertices() + batch.vertexCount()) << "runs cover every vertex";
        const std::vector<std::uint32_t>& indices = batch.indices(lastIndexCount, lastUnchanged);
        lastIndices.assign(indices.begin(), indices.begin() + lastIndexCount);
        std::copy(batch.projection(), batch.projection() + 16, projection);
        std::copy(batch.modelView(), batch.modelView() + 16, modelView);
    }
};

struct WebHost : ::testing::Test {
    Recorder gl;
    void SetUp() override { setGlBackend(&gl); }
    void TearDown() override { setGlBackend(nullptr); }
};

void vertices(int n) {
    for (int k = 0; k < n; ++k) {
        glVertex3f(static_cast<float>(k), 0.0f, 0.0f);
    }
}

}  // namespace

TEST_F(WebHost, GathersThePinnedFramesAsTheStandInRecordsThem) {
    // Shaded, in the distance colouring (the strips as runs of GL_QUADS),
    // and (Ferguson) with scaled derivatives.
    for (const PinnedRun run : PinnedRuns) {
        const char key = run.key;
        const int style = run.style;
        setFrameStyle({style == 0 ? Colouring::Shading : Colouring::Distance,
                       style == 2 ? Derivatives::PerStep : Derivatives::PerRadian});
        startUp(key == '1' ? 72 : 8);
        drawFrames(style == 0 ? 24 : 8, [&](int k) {
            EXPECT_EQ(pinnedFrameMismatch(key, k, gl.digest, style), "");
            // One batch a frame, drawn at the swap, after the clear.
            EXPECT_EQ(gl.calls.size(), 3u);
            EXPECT_EQ(gl.calls.front(), "clear 16640");
            EXPECT_EQ(gl.calls.back(), "present");
            gl.digest = PrimitiveDigest();
            gl.calls.clear();
            return true;
        });
    }
    setFrameStyle(FrameStyle());
}

TEST_F(WebHost, TrianglesOfPolygonsQuadsAndQuadStrips) {
    // A quad and a pentagon are fans from their first vertex; a quad strip
    // gives two triangles per quad and drops an odd last vertex; GL_QUADS
    // each four a fan, and drops what is left over; what makes no triangle
    // is dropped, as are vertices outside begin and end.
    glVertex3f(9.0f, 9.0f, 9.0f);
    glBegin(GL_POLYGON);
    vertices(4);
    glEnd();
    glBegin(GL_POLYGON);
    vertices(5);
    glEnd();
    glBegin(GL_QUAD_STRIP);
    vertices(7);
    glEnd();
    glBegin(GL_POLYGON);
    vertices(2);
    glEnd();
    glBegin(GL_QUAD_STRIP);
    vertices(3);
    glEnd();
    glBegin(GL_QUADS);
    vertices(9);
    glEnd();
    glBegin(GL_QUADS);
    vertices(3);
    glEnd();
    glutSwapBuffers();
    EXPECT_EQ(gl.calls, (std::vector<std::string>{"draw 25", "present"}));
    EXPECT_EQ(gl.lastIndices,
              (std::vector<std::uint32_t>{0,  1,  2,  0,  2,  3,            // quad
                                          4,  5,  6,  4,  6,  7,  4, 7, 8,  // pentagon
                                          9,  10, 12, 9,  12, 11,           // strip: first quad
                                          11, 12, 14, 11, 14, 13,     // second; vertex 15 unused
                                          16, 17, 18, 16, 18, 19,     // quads: fans of each four
                                          20, 21, 22, 20, 22, 23}));  // vertex 24 unused
    EXPECT_FALSE(gl.lastUnchanged);

    // Frames of one kind of primitive share one list and draw a prefix of it,
    // until a frame needs more than it holds.
    const auto quads = [this](int n) {
        for (int k = 0; k < n; ++k) {
            glBegin(GL_POLYGON);
            vertices(4);
            glEnd();
        }
        glutSwapBuffers();
        return std::pair{gl.lastIndexCount, gl.lastUnchanged};
    };
    EXPECT_EQ(quads(3), (std::pair<std::size_t, bool>{18, false}));
    EXPECT_EQ(quads(6), (std::pair<std::size_t, bool>{36, true}));
    EXPECT_EQ(quads(2), (std::pair<std::size_t, bool>{12, true}));
    EXPECT_EQ(quads(7), (std::pair<std::size_t, bool>{42, false}));
    EXPECT_EQ(gl.lastIndices[41], 27u);
}

TEST(WebHostColours, AreTheEightBitChannelsOfThePicture) {
    // Clamped to [0, 1], then the nearest of 0, 1/255, ..., 1; halves up.
    const std::pair<float, int> channels[] = {{0.0f, 0},
                                              {-0.4f, 0},
                                              {NAN, 0},
                                              {1.0f, 255},
                                              {1.1f, 255},
                                              {0.8f, 204},
                                              {0.5f, 128},
                                              {0.2f, 51},
                                              {0.5f / 255, 1},
                                              {0.4999f / 255, 0},
                                              {INFINITY, 255},
                                              {-INFINITY, 0},
                                              {254.51f / 255, 255},
                                              {254.49f / 255, 254}};
    for (const auto& [c, expected] : channels) {
        EXPECT_EQ(colourChannel(c), expected) << c;
    }
}

TEST_F(WebHost, DrawsBeforeAnythingThatChangesHowItIsDrawn) {
    handleReshape(800, 400);
    enableDepthTest();
    glBegin(GL_POLYGON);
    vertices(3);
    glClear(GL_COLOR_BUFFER_BIT);  // refused inside begin and end, as GL does
    glMatrixMode(GL_PROJECTION);
    glEnd();
    glMatrixMode(GL_MODELVIEW);
    glBegin(GL_POLYGON);
    vertices(4);
    glEnd();
    glClear(GL_DEPTH_BUFFER_BIT);
    glutSwapBuffers();
    EXPECT_EQ(gl.calls,
              (std::vector<std::string>{"viewport 0 0 800 400", "depth 515", "enable 2929",
                                        "draw 3", "draw 4", "clear 256", "present"}));
}

TEST_F(WebHost, ProjectsAsTheWindowDoes) {
    // The window's perspective at aspect 2 and the view from (0, 0, 5).
    handleReshape(800, 400);
    glLoadIdentity();
    gluLookAt(0.0, 0.0, 5.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
    glBegin(GL_POLYGON);
    vertices(3);
    glEnd();
    glutSwapBuffers();
    const double f = 1.0 / std::tan(30.0 * M_PI / 180.0);
    const double expectedProjection[16] = {
        f / 2, 0, 0, 0, 0, f, 0, 0, 0, 0, -701.0 / 699.0, -1, 0, 0, -1400.0 / 699.0, 0};
    const double expectedView[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, -5, 1};
    for (int k = 0; k < 16; ++k) {
        EXPECT_NEAR(gl.projection[k], expectedProjection[k], 1e-6) << "projection " << k;
        EXPECT_NEAR(gl.modelView[k], expectedView[k], 1e-6) << "model-view " << k;
    }
    // From another eye: the origin lies straight ahead, +y stays up.
    glLoadIdentity();
    gluLookAt(3.0, 0.0, 4.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
    glBegin(GL_POLYGON);
    vertices(3);
    glEnd();
    glutSwapBuffers();
    const float* m = gl.modelView;
    EXPECT_NEAR(m[14], -5.0, 1e-6);  // the origin, 5 ahead
    EXPECT_NEAR(m[12], 0.0, 1e-6);
    EXPECT_NEAR(m[5], 1.0, 1e-6);
    EXPECT_NEAR(m[0] * 3.0 + m[8] * 4.0 + m[12], 0.0, 1e-6);  // the eye maps to 0
    EXPECT_NEAR(m[2] * 3.0 + m[10] * 4.0 + m[14], 0.0, 1e-6);
}

TEST(StillLink, ReadsTheKeyFrameSizeAndStyleIgnoresOthersAndRefusesBadValues) {
    using P = LinkParameters;
    StillLink link;
    std::string error;
    struct Good {
        P parameters;
        LinkKind kind;
        int key, frame, width, height;
        int distance = 0, scaled = 0;
    };
    const Good good[] = {
        {{}, LinkKind::Interactive, -1, 0, 600, 600},
        {{{"fbclid", "IwAR0x"}, {"utm_source", "classroom"}},
         LinkKind::Interactive,
         -1,
         0,
         600,
         600},
        {{{"key", "1"}, {"frame", "23"}, {"size", "320x200"}}, LinkKind::Still, '1', 23, 320, 200},
        {{{"utm_source", "x"}, {"size", "16x4096"}, {"key", "x"}, {"frame", "3599"}, {"", ""}},
         LinkKind::Still,
         'x',
         3599,
         16,
         4096},
        {{{"key", "2"}, {"key2", "9"}}, LinkKind::Still, '2', 0, 600, 600},
        {{{"colour", "distance"}, {"key", "1"}, {"derivatives", "scaled"}},
         LinkKind::Still,
         '1',
         0,
         600,
         600,
         1,
         1},
        {{{"key", "2"}, {"colour", "distance"}, {"derivatives", "as-drawn"}, {"color", "x"}},
         LinkKind::Still,
         '2',
         0,
         600,
         600,
         1,
         0},
        {{{"key", "1"}, {"colour", "shading"}}, LinkKind::Still, '1', 0, 600, 600, 0, 0},
    };
    for (const Good& g : good) {
        const std::string what = ::testing::PrintToString(g.parameters);
        ASSERT_EQ(readStillLink(g.parameters, link, error), g.kind) << what << ": " << error;
        EXPECT_EQ(std::vector<int>(
                      {link.key, link.frame, link.width, link.height, link.distance, link.scaled}),
                  std::vector<int>({g.key, g.frame, g.width, g.height, g.distance, g.scaled}))
            << what;
    }

    const std::pair<P, const char*> bad[] = {
        {{{"frame", "3"}}, "it needs a key"},
        {{{"fbclid", "1"}, {"size", "20x20"}}, "it needs a key"},
        {{{"key", "12"}}, "key takes one character"},
        {{{"key", ""}}, "key needs a value"},
        {{{"key", "1"}, {"frame", "3600"}},
         "frame takes a whole number from 0 to 3599, not '3600'"},
        {{{"key", "1"}, {"frame", "-1"}}, "frame takes"},
        {{{"key", "1"}, {"frame", "1.5"}}, "frame takes"},
        {{{"key", "1"}, {"size", "15x600"}},
         "size takes WIDTHxHEIGHT, each from 16 to 4096, not '15x600'"},
        {{{"key", "1"}, {"size", "600x4097"}}, "size takes"},
        {{{"key", "1"}, {"size", "600"}}, "size takes"},
        {{{"key", "1"}, {"size", "600x"}}, "size takes"},
        {{{"key", "1"}, {"key", "2"}}, "key is given twice"},
        {{{"colour", "distance"}}, "it needs a key"},
        {{{"key", "1"}, {"colour", "Distance"}},
         "colour takes shading or distance, not 'Distance'"},
        {{{"key", "1"}, {"colour", ""}}, "colour needs a value"},
        {{{"key", "1"}, {"derivatives", "per-step"}}, "derivatives takes as-drawn or scaled"},
        {{{"key", "2"}, {"derivatives", "scaled"}}, "derivatives=scaled is for the Ferguson"},
        {{{"derivatives", "scaled"}, {"key", "x"}}, "derivatives=scaled is for the Ferguson"},
        {{{"key", "1"}, {"colour", "distance"}, {"colour", "shading"}}, "colour is given twice"},
    };
    for (const auto& [parameters, why] : bad) {
        const std::string what = ::testing::PrintToString(parameters);
        EXPECT_EQ(readStillLink(parameters, link, error), LinkKind::Bad) << what;
        EXPECT_NE(error.find(why), std::string::npos) << what << ": " << error;
        EXPECT_EQ(error.rfind("This link cannot be drawn: ", 0), 0u) << error;
    }
}
