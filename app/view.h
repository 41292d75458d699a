#pragma once
// The GL state under the surface's pictures, shared by every host of the
// display code: the window, the offscreen recorder and the tests.

// Viewport over the whole picture and a 60-degree perspective of its
// aspect. A height of 0 leaves the projection as it was.
void handleReshape(int width, int height);

// Depth comparison less-or-equal, and the depth test on.
void enableDepthTest();

// The display callback of patchMode: Ferguson patches for 0, cubic strips
// otherwise.
using DisplayCallback = void (*)();
DisplayCallback displayForMode();

// The window's title for patchMode: "Ferguson Patches" for 0, "Cubic
// Patches" otherwise.
const char* windowTitle();
