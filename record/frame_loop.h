#pragma once
// The recorder's frames: the viewer's display and idle code, driven without
// the toolkit's main loop and without time.

#include <functional>

// Draws frames 0 to count - 1 of the sampled surface, frame k after exactly
// k idle steps from the eye and phase in place at the call (the start-up
// ones after sampling), with the display callback of patchMode. take(k) is
// called once frame k is drawn; when it returns false, nothing more is
// drawn and the result is false.
bool drawFrames(int count, const std::function<bool(int)>& take);
