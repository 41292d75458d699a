#include "record/frame_loop.h"

#include "app/idle.h"
#include "app/view.h"

bool drawFrames(int count, const std::function<bool(int)>& take) {
    const DisplayCallback display = displayForMode();
    for (int k = 0; k < count; ++k) {
        if (k > 0) {
            // The idle callback's step; every frame is drawn, so the redraw
            // request that the window would wait for is not needed.
            advanceAnimation();
        }
        display();
        if (!take(k)) {
            return false;
        }
    }
    return true;
}
