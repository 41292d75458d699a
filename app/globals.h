#pragma once
// Application globals: set by the shell at start-up and by the idle step,
// read by the surface model and the displays.

#include <cstdint>

// Eye position in display coordinates.
struct EyePosition {
    double x;
    double y;
    double z;
};

// 0: Ferguson patches, 1: cubic strips.
extern std::int32_t patchMode;
// Sampling steps in degrees along the sweep curve and around the tube.
extern std::int32_t curveStepDeg;
extern std::int32_t sectionStepDeg;
// Degrees the eye orbits about the vertical axis per idle step.
extern double orbitStepDeg;
extern EyePosition eyePos;
// Tint phase of the cubic display, advanced in float steps.
extern float animPhase;

// The application's value of pi, deliberately truncated; the surface model
// and the orbit both use it.
constexpr double AppPi = 3.14159265358;

// degrees * AppPi / 180.0, multiplication first.
double degToRad(const double& degrees);
