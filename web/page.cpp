// The viewer as a web page: the console dialogue and the window's frames,
// driven by the page (web/page.js) through the functions below, and drawn
// by WebGL from what the GL entry points gather.

#include <emscripten.h>

#include <string>

#include "app/console.h"
#include "app/globals.h"
#include "app/idle.h"
#include "app/view.h"
#include "display/distance_colours.h"
#include "display/frame_style.h"
#include "surface/surface_grid.h"
#include "web/gl_backend.h"
#include "web/still_link.h"

// clang-format off
EM_JS(void, webglClear, (unsigned mask), { Module.pvRenderer.clear(mask); });
EM_JS(void, webglViewport, (int x, int y, int width, int height), {
    Module.pvRenderer.viewport(x, y, width, height);
});
EM_JS(void, webglEnable, (unsigned capability), { Module.pvRenderer.enable(capability); });
EM_JS(void, webglDepthFunc, (unsigned func), { Module.pvRenderer.depthFunc(func); });
EM_JS(void, webglDraw, (const void* vertices, int vertexCount, const void* indices,
                        int indexCount, int indexRoom, int indicesUnchanged,
                        const float* projection, const float* modelView), {
    Module.pvRenderer.draw(vertices, vertexCount, indices, indexCount, indexRoom,
                           indicesUnchanged, projection, modelView);
});
EM_JS(void, startPage, (), { Module.pvPageStart(); });
// clang-format on

namespace {

class WebGl : public GlBackend {
  public:
    void clear(std::uint32_t mask) override { webglClear(mask); }
    void viewport(int x, int y, int width, int height) override {
        webglViewport(x, y, width, height);
    }
    void enable(std::uint32_t capability) override { webglEnable(capability); }
    void depthFunc(std::uint32_t function) override { webglDepthFunc(function); }
    void draw(FrameGatherer& batch) override {
        std::size_t count = 0;
        bool unchanged = false;
        const std::vector<std::uint32_t>& indices = batch.indices(count, unchanged);
        webglDraw(batch.vertices(), static_cast<int>(batch.vertexCount()), indices.data(),
                  static_cast<int>(count), static_cast<int>(indices.size()), unchanged ? 1 : 0,
                  batch.projection(), batch.modelView());
    }
    // The browser shows the canvas when the page's frame callback returns.
    void present() override {}
};

WebGl webgl;

// The globals as the program starts with them, for a new choice after
// Escape: a new run of the viewer.
EyePosition startEye;
float startPhase;
double startOrbitStep;

LinkParameters linkParameters;
StillLink link;
std::string linkError;

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE const char* pv_menu_text() {
    return MenuText;
}

EMSCRIPTEN_KEEPALIVE const char* pv_computing_text() {
    return ComputingText;
}

// The address's parameters, as the browser decoded them, one at a time.
EMSCRIPTEN_KEEPALIVE void pv_link_add(const char* name, const char* value) {
    linkParameters.emplace_back(name, value);
}
// 0: the interactive page, 1: a still frame, 2: a bad link (pv_link_error).
EMSCRIPTEN_KEEPALIVE int pv_link_read() {
    return static_cast<int>(readStillLink(linkParameters, link, linkError));
}
EMSCRIPTEN_KEEPALIVE const char* pv_link_error() {
    return linkError.c_str();
}
EMSCRIPTEN_KEEPALIVE int pv_link_key() {
    return link.key;
}
EMSCRIPTEN_KEEPALIVE int pv_link_frame() {
    return link.frame;
}
EMSCRIPTEN_KEEPALIVE int pv_link_width() {
    return link.width;
}
EMSCRIPTEN_KEEPALIVE int pv_link_height() {
    return link.height;
}
EMSCRIPTEN_KEEPALIVE int pv_link_distance() {
    return link.distance ? 1 : 0;
}
EMSCRIPTEN_KEEPALIVE int pv_link_scaled() {
    return link.scaled ? 1 : 0;
}

// Whether the chosen mode is the Ferguson patches, the one mode with a
// choice of derivatives.
EMSCRIPTEN_KEEPALIVE int pv_ferguson() {
    return patchMode == 0 ? 1 : 0;
}

// The frames' colouring and derivatives from now on; 0, and nothing
// changed, for scaled derivatives with the cubic strips.
EMSCRIPTEN_KEEPALIVE int pv_set_style(int distance, int scaled) {
    const FrameStyle style{distance != 0 ? Colouring::Distance : Colouring::Shading,
                           scaled != 0 ? Derivatives::PerStep : Derivatives::PerRadian};
    if (!styleFitsMode(style)) {
        return 0;
    }
    setFrameStyle(style);
    return 1;
}

// The distance colouring's scale D in % of the radius. The first call after
// a sampling, for each representation, measures it, which takes a while.
EMSCRIPTEN_KEEPALIVE double pv_scale_percent() {
    return distanceScalePercent();
}

// The map's five stops, three 8-bit sRGB channels each, for the legend.
EMSCRIPTEN_KEEPALIVE const unsigned char* pv_distance_stops() {
    return &DistanceStops[0][0];
}

// The menu's key (its byte; -1 for none): the mode and steps, from the
// start-up eye and phase.
EMSCRIPTEN_KEEPALIVE void pv_choose(int key) {
    eyePos = startEye;
    animPhase = startPhase;
    orbitStepDeg = startOrbitStep;
    applyMenuChoice(key);
}

EMSCRIPTEN_KEEPALIVE const char* pv_title() {
    return windowTitle();
}

EMSCRIPTEN_KEEPALIVE void pv_sample() {
    sampleSurface();
}

// The window's state once it is shown at width x height.
EMSCRIPTEN_KEEPALIVE void pv_open_view(int width, int height) {
    enableDepthTest();
    handleReshape(width, height);
}

EMSCRIPTEN_KEEPALIVE void pv_step() {
    advanceAnimation();
}

EMSCRIPTEN_KEEPALIVE void pv_display() {
    displayForMode()();
}

}  // extern "C"

int main() {
    startEye = eyePos;
    startPhase = animPhase;
    startOrbitStep = orbitStepDeg;
    setGlBackend(&webgl);
    startPage();
    return 0;
}
