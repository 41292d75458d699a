// The web host's side of a frame, natively: the idle step and the display
// callback with every call gathered into the arrays that the page uploads,
// and their triangles listed, but no WebGL. Beside the viewer's own idle step
// and frame (patchview_bench), it shows what gathering adds.

#include <benchmark/benchmark.h>

#include "app/console.h"
#include "app/globals.h"
#include "app/idle.h"
#include "app/view.h"
#include "surface/surface_grid.h"
#include "web/gl_backend.h"

namespace {

// Lists the triangles as the page does, and nothing else.
struct Indexing : GlBackend {
    void clear(std::uint32_t) override {}
    void viewport(int, int, int, int) override {}
    void enable(std::uint32_t) override {}
    void depthFunc(std::uint32_t) override {}
    void present() override {}
    void draw(FrameGatherer& batch) override {
        std::size_t count = 0;
        bool unchanged = false;
        benchmark::DoNotOptimize(batch.indices(count, unchanged).data());
        vertices += batch.vertexCount();
    }
    std::size_t vertices = 0;
};

void gatheredFrames(benchmark::State& state, int key) {
    Indexing backend;
    setGlBackend(&backend);
    eyePos = {0.0, 0.0, 5.0};
    animPhase = 0.6f;
    applyMenuChoice(key);
    sampleSurface();
    const DisplayCallback display = displayForMode();
    display();
    for (auto _ : state) {
        advanceAnimation();
        display();
    }
    state.counters["vertices"] =
        static_cast<double>(backend.vertices) / static_cast<double>(state.iterations() + 1);
    setGlBackend(nullptr);
}

void BM_FergusonIdleAndFrameGathered(benchmark::State& state) {
    gatheredFrames(state, '1');
}
void BM_CubicIdleAndFrameGathered(benchmark::State& state) {
    gatheredFrames(state, '2');
}
BENCHMARK(BM_FergusonIdleAndFrameGathered)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CubicIdleAndFrameGathered)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
