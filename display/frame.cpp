#include "display/frame.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "app/globals.h"

void beginFrame() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(eyePos.x, eyePos.y, eyePos.z, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
}
