// One benchmark per hot path. Frames are measured against the straightforward
// algorithms in the same run, so that speed-ups are ratios of one machine.

#include <benchmark/benchmark.h>

#include <time.h>

#include <chrono>
#include <thread>

#include "app/console.h"
#include "app/globals.h"
#include "app/idle.h"
#include "app/view.h"
#include "bench/reference_display.h"
#include "display/cubic_display.h"
#include "display/distance_colours.h"
#include "display/ferguson_display.h"
#include "display/frame_style.h"
#include "distance/measure.h"
#include "gl_stand_in.h"
#include "measure/report.h"
#include "surface/facing.h"
#include "surface/ferguson.h"
#include "surface/surface_grid.h"

namespace {

constexpr int FergusonKey = '1';
constexpr int CubicKey = '2';

void startUp(int key) {
    eyePos = {0.0, 0.0, 5.0};
    animPhase = 0.6f;
    applyMenuChoice(key);
    sampleSurface();
    gl = GlStandIn();
    gl.digesting = false;  // count only: the callbacks' own work is measured
}

void BM_SampleSurface(benchmark::State& state) {
    applyMenuChoice(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        sampleSurface();
        benchmark::DoNotOptimize(surfacePoints);
    }
    state.SetLabel(state.range(0) == FergusonKey ? "Ferguson grid 181x6" : "cubic grid 181x46");
}
BENCHMARK(BM_SampleSurface)->Arg(FergusonKey)->Arg(CubicKey)->Unit(benchmark::kMicrosecond);

void BM_SolveSplineSlopes(benchmark::State& state) {
    startUp(FergusonKey);
    double values[MaxGridRows];
    double slopes[MaxGridRows];
    for (int i = 0; i <= lastRow; ++i) {
        values[i] = surfacePoints[i][0].y;
    }
    for (auto _ : state) {
        solveSplineSlopes(lastRow, curveParams, values, slopes, 0.0, 0.0);
        benchmark::DoNotOptimize(slopes);
    }
    state.SetLabel("181 knots");
}
BENCHMARK(BM_SolveSplineSlopes);

void BM_RecomputeFacing(benchmark::State& state) {
    startUp(FergusonKey);
    for (auto _ : state) {
        recomputeFacing();
        benchmark::DoNotOptimize(surfacePoints);
    }
}
BENCHMARK(BM_RecomputeFacing)->Unit(benchmark::kMicrosecond);

void BM_EvalPatch(benchmark::State& state) {
    startUp(FergusonKey);
    const Matrix4 c = coefficientMatrix(geometryMatrix(40, 2, &SurfaceSample::y));
    double u = 0.3;
    for (auto _ : state) {
        benchmark::DoNotOptimize(evalPatch(u, 0.7, c));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_EvalPatch);

void frame(benchmark::State& state, int key, void (*display)()) {
    startUp(key);
    display();  // positions are prepared once after sampling
    for (auto _ : state) {
        display();
    }
    state.counters["calls"] =
        static_cast<double>(gl.stream.calls) / static_cast<double>(state.iterations() + 1);
}

void BM_FergusonFrame(benchmark::State& state) {
    frame(state, FergusonKey, displayFerguson);
}
void BM_FergusonFrameReference(benchmark::State& state) {
    frame(state, FergusonKey, referenceDisplayFerguson);
}
void BM_CubicFrame(benchmark::State& state) {
    frame(state, CubicKey, displayCubic);
}
void BM_CubicFrameReference(benchmark::State& state) {
    frame(state, CubicKey, referenceDisplayCubic);
}
BENCHMARK(BM_FergusonFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FergusonFrameReference)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CubicFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CubicFrameReference)->Unit(benchmark::kMillisecond);

// A frame in the distance colouring against the shaded frame of the same
// patches from the same eye, drawn in turn so that both meet the same load:
// the counters give each one's mean CPU time and their ratio. Arguments: the
// key, and 1 for the patches with scaled derivatives.
double threadSeconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}
void BM_DistanceFrameAgainstShaded(benchmark::State& state) {
    const int key = static_cast<int>(state.range(0));
    const Derivatives derivatives = state.range(1) ? Derivatives::PerStep : Derivatives::PerRadian;
    startUp(key);
    const DisplayCallback display = displayForMode();
    const FrameStyle shaded{Colouring::Shading, derivatives};
    const FrameStyle coloured{Colouring::Distance, derivatives};
    for (const FrameStyle& style : {shaded, coloured}) {
        setFrameStyle(style);
        display();  // what is kept per sampling is prepared before timing
    }
    double seconds[2] = {0.0, 0.0};
    for (auto _ : state) {
        for (int n = 0; n < 2; ++n) {
            setFrameStyle(n == 0 ? shaded : coloured);
            const double start = threadSeconds();
            display();
            seconds[n] += threadSeconds() - start;
        }
    }
    setFrameStyle(FrameStyle());
    const double frames = static_cast<double>(state.iterations());
    state.counters["shaded_ms"] = seconds[0] / frames * 1e3;
    state.counters["distance_ms"] = seconds[1] / frames * 1e3;
    state.counters["ratio"] = seconds[1] / seconds[0];
    state.SetLabel(key == FergusonKey ? (state.range(1) ? "Ferguson, scaled" : "Ferguson")
                                      : "cubic");
}
BENCHMARK(BM_DistanceFrameAgainstShaded)
    ->Args({FergusonKey, 0})
    ->Args({FergusonKey, 1})
    ->Args({CubicKey, 0})
    ->Unit(benchmark::kMillisecond);

// What the distance colouring costs once per sampling: measuring every
// point of the representation (as the measuring program does) and the map's
// colour of every cell. Arguments as above.
void BM_DistanceStartUp(benchmark::State& state) {
    const int key = static_cast<int>(state.range(0));
    startUp(key);
    setFrameStyle(
        {Colouring::Distance, state.range(1) ? Derivatives::PerStep : Derivatives::PerRadian});
    for (auto _ : state) {
        markGridChanged();
        benchmark::DoNotOptimize(distanceScale());
        benchmark::DoNotOptimize(cellColours(drawnRepresentation()));
    }
    setFrameStyle(FrameStyle());
    state.SetLabel(key == FergusonKey ? (state.range(1) ? "Ferguson, scaled" : "Ferguson")
                                      : "cubic");
}
BENCHMARK(BM_DistanceStartUp)
    ->Args({FergusonKey, 0})
    ->Args({FergusonKey, 1})
    ->Args({CubicKey, 0})
    ->Unit(benchmark::kMillisecond);

void BM_FergusonIdleStep(benchmark::State& state) {
    startUp(FergusonKey);
    for (auto _ : state) {
        handleIdle();
    }
}
BENCHMARK(BM_FergusonIdleStep)->Unit(benchmark::kMicrosecond);

// What the viewer does per frame: the idle step, then the display callback.
// The web page's own work per frame is set beside these (scripts/web-speed).
// With a pause, once every pause, idle in between, as a page or a window
// draws once a frame of the screen: a core that idles between frames starts
// each one cold, which a tight loop never does; the pauses are not timed.
void idleAndFrame(benchmark::State& state, int key, int pauseMs = 0) {
    startUp(key);
    const DisplayCallback display = displayForMode();
    display();
    for (auto _ : state) {
        if (pauseMs > 0) {
            state.PauseTiming();
            std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
            state.ResumeTiming();
        }
        handleIdle();
        display();
    }
}
void BM_FergusonIdleAndFrame(benchmark::State& state) {
    idleAndFrame(state, FergusonKey);
}
void BM_CubicIdleAndFrame(benchmark::State& state) {
    idleAndFrame(state, CubicKey);
}
BENCHMARK(BM_FergusonIdleAndFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CubicIdleAndFrame)->Unit(benchmark::kMillisecond);

constexpr int FramePauseMs = 40;
void BM_FergusonIdleAndFramePaced(benchmark::State& state) {
    idleAndFrame(state, FergusonKey, FramePauseMs);
}
void BM_CubicIdleAndFramePaced(benchmark::State& state) {
    idleAndFrame(state, CubicKey, FramePauseMs);
}
BENCHMARK(BM_FergusonIdleAndFramePaced)
    ->Iterations(100)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CubicIdleAndFramePaced)->Iterations(100)->UseRealTime()->Unit(benchmark::kMillisecond);

// The global closest point of the centre curve, for the points of the cubic
// grid in order, each query hinted by the answer before, as the measuring
// program asks.
void BM_ClosestPoint(benchmark::State& state) {
    startUp(CubicKey);
    std::vector<Point3> points;
    for (int i = 0; i <= lastRow; ++i) {
        for (int j = 0; j <= lastCol; ++j) {
            points.push_back({surfacePoints[i][j].x, surfacePoints[i][j].y, surfacePoints[i][j].z});
        }
    }
    const CentreCurve curve;
    std::size_t n = 0;
    int hint = 0;
    for (auto _ : state) {
        const Closest c = curve.closest(points[n], hint);
        hint = curve.arcOf(c.t);
        n = n + 1 < points.size() ? n + 1 : 0;
        benchmark::DoNotOptimize(c);
    }
}
BENCHMARK(BM_ClosestPoint);

// The measuring program's whole report: the curve's table, both samplings,
// the three blocks and the text.
void BM_MeasureReport(benchmark::State& state) {
    for (auto _ : state) {
        const CentreCurve curve;
        benchmark::DoNotOptimize(textReport(measureAll(curve)));
    }
}
BENCHMARK(BM_MeasureReport)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
