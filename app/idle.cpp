#include "app/idle.h"

#include <GL/freeglut.h>

#include "app/globals.h"
#include "geometry/matrix3.h"
#include "geometry/vector3.h"
#include "surface/facing.h"

void advanceAnimation() {
    const double angle = degToRad(orbitStepDeg);
    const Matrix3 rotation(0.0, angle, 0.0);
    const Vector3 eye = rotation * Vector3(eyePos.x, eyePos.y, eyePos.z);
    eyePos = {eye.getX(), eye.getY(), eye.getZ()};

    // Float steps decide when the phase wraps: in double it would wrap one
    // step earlier.
    animPhase = animPhase + PhaseStep;
    if (static_cast<double>(animPhase) > PhaseLimit) {
        animPhase = 0.0f;
    }
    if (patchMode == 0) {
        recomputeFacing();
    }
}

void handleIdle() {
    advanceAnimation();
    glutPostRedisplay();
}
