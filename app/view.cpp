#include "app/view.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "app/globals.h"
#include "display/cubic_display.h"
#include "display/ferguson_display.h"

void handleReshape(int width, int height) {
    glViewport(0, 0, width, height);
    if (height == 0) {
        // No aspect exists; keep the last projection rather than pass an
        // infinite one on.
        return;
    }
    const double aspect = static_cast<double>(width) / static_cast<double>(height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(60.0, aspect, 1.0, 700.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void enableDepthTest() {
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_DEPTH_TEST);
}

DisplayCallback displayForMode() {
    return patchMode == 0 ? displayFerguson : displayCubic;
}

const char* windowTitle() {
    return patchMode == 0 ? "Ferguson Patches" : "Cubic Patches";
}
