#include "app/globals.h"

std::int32_t patchMode = 0;
std::int32_t curveStepDeg = 0;
std::int32_t sectionStepDeg = 0;
double orbitStepDeg = 5.0;
EyePosition eyePos = {0.0, 0.0, 5.0};
float animPhase = 0.6f;

double degToRad(const double& degrees) {
    return degrees * AppPi / 180.0;
}
