#include "app/window.h"

#include <GL/freeglut.h>
#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdlib>

#include "app/globals.h"
#include "app/idle.h"
#include "display/cubic_display.h"
#include "display/ferguson_display.h"

void initWindow(int argc, char** argv) {
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_DOUBLE | GLUT_RGB | GLUT_DEPTH);
    glutInitWindowSize(600, 600);
    glutInitWindowPosition(100, 100);
    glutCreateWindow(patchMode == 0 ? "Ferguson Patches" : "Cubic Patches");
    glutReshapeFunc(handleReshape);
    glutIdleFunc(handleIdle);
    glutDisplayFunc(patchMode == 0 ? displayFerguson : displayCubic);
    glutKeyboardFunc(handleKeyboard);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_DEPTH_TEST);
}

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

void handleKeyboard(unsigned char key, int /*x*/, int /*y*/) {
    constexpr unsigned char Escape = 27;
    if (key == Escape) {
        std::exit(0);
    }
    glutPostRedisplay();
}
