#pragma once
// The animation: one step per idle call of the toolkit.

// Added to animPhase per step, in float.
constexpr float PhaseStep = 0.02f;
// animPhase returns to 0 when it exceeds this.
constexpr double PhaseLimit = 0.9;

// Orbits eyePos by orbitStepDeg about the vertical axis, advances animPhase,
// refreshes the facing data in Ferguson mode and asks for a redraw.
void handleIdle();

// The same step without the redraw request, for use away from the toolkit.
void advanceAnimation();
