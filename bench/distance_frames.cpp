// A frame in the distance colouring against the shaded frame of the same
// view, as the recorder draws them: the display code on Mesa through the
// recorder's EGL context, then the read-back, which waits for the picture.
// The two are drawn in turn, frame after frame of the orbit, so that both
// meet the same load; prints each one's mean wall and CPU time and the ratio.
//
//   distance_frames KEY [scaled] [FRAMES]   KEY: 1 Ferguson patches, 2 cubic strips

#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/console.h"
#include "app/globals.h"
#include "app/idle.h"
#include "app/view.h"
#include "display/frame_style.h"
#include "record/offscreen_context.h"
#include "surface/surface_grid.h"

namespace {

double seconds(clockid_t clock) {
    timespec t;
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

}  // namespace

int main(int argc, char** argv) {
    const bool scaled = argc > 2 && std::strcmp(argv[2], "scaled") == 0;
    const int frames = argc > 2 + scaled ? std::atoi(argv[2 + scaled]) : 36;
    if (argc < 2 || frames < 1) {
        std::fputs("usage: distance_frames KEY [scaled] [FRAMES]\n", stderr);
        return 2;
    }
    OffscreenContext context;
    std::string error;
    if (!context.open(600, 600, error)) {
        std::fprintf(stderr, "distance_frames: %s\n", error.c_str());
        return 1;
    }
    applyMenuChoice(argv[1][0]);
    sampleSurface();
    handleReshape(600, 600);
    enableDepthTest();
    const Derivatives derivatives = scaled ? Derivatives::PerStep : Derivatives::PerRadian;
    const FrameStyle styles[2] = {{Colouring::Shading, derivatives},
                                  {Colouring::Distance, derivatives}};
    if (!styleFitsMode(styles[0])) {
        std::fputs("distance_frames: scaled derivatives are for key 1\n", stderr);
        return 2;
    }
    const DisplayCallback display = displayForMode();
    Image picture;
    double wall[2] = {0, 0};
    double cpu[2] = {0, 0};
    for (int k = -1; k < frames; ++k) {  // frame -1 prepares what is kept
        if (k > 0) {
            advanceAnimation();
        }
        for (int n = 0; n < 2; ++n) {
            setFrameStyle(styles[n]);
            const double w = seconds(CLOCK_MONOTONIC);
            const double c = seconds(CLOCK_PROCESS_CPUTIME_ID);
            display();
            context.readPicture(picture);
            if (k >= 0) {
                wall[n] += seconds(CLOCK_MONOTONIC) - w;
                cpu[n] += seconds(CLOCK_PROCESS_CPUTIME_ID) - c;
            }
        }
    }
    std::printf(
        "%s%s, %d frames of 600x600: shaded %.2f ms (CPU %.2f), distance %.2f ms "
        "(CPU %.2f), ratio %.3f (CPU %.3f)\n",
        patchMode == 0 ? "Ferguson" : "cubic", scaled ? ", scaled" : "", frames,
        wall[0] / frames * 1e3, cpu[0] / frames * 1e3, wall[1] / frames * 1e3,
        cpu[1] / frames * 1e3, wall[1] / wall[0], cpu[1] / cpu[0]);
    return 0;
}
