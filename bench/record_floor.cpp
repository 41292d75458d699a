// The floor under the recorder's time: what drawing and reading back the
// frames alone takes, with the recorder's own context, sampling, frame loop
// and read-back, and no encoding or files. scripts/record-speed times it
// beside the recorder.
//
//   record_floor KEY FRAMES      KEY: 1 Ferguson patches, 2 cubic strips

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/console.h"
#include "app/view.h"
#include "record/frame_loop.h"
#include "record/offscreen_context.h"
#include "surface/surface_grid.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: record_floor KEY FRAMES\n", stderr);
        return 2;
    }
    OffscreenContext context;
    std::string error;
    if (!context.open(600, 600, error)) {
        std::fprintf(stderr, "record_floor: %s\n", error.c_str());
        return 1;
    }
    applyMenuChoice(argv[1][0]);
    sampleSurface();
    handleReshape(600, 600);
    enableDepthTest();
    Image picture;
    unsigned sum = 0;  // keeps the read-back from being skipped
    drawFrames(std::atoi(argv[2]), [&](int) {
        context.readPicture(picture);
        sum += picture.rgb[picture.rgb.size() / 2];
        return true;
    });
    std::printf("%u\n", sum);
    return 0;
}
