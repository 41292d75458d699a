#pragma once
// What every frame starts with, in both modes.

// Clears colour and depth and loads the view from eyePos towards the origin,
// with +y up, into the model-view matrix.
void beginFrame();
