#include "app/window.h"

#include <GL/freeglut.h>

#include <cstdlib>

#include "app/globals.h"
#include "app/idle.h"

void initWindow(int argc, char** argv) {
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_DOUBLE | GLUT_RGB | GLUT_DEPTH);
    glutInitWindowSize(600, 600);
    glutInitWindowPosition(100, 100);
    glutCreateWindow(windowTitle());
    glutReshapeFunc(handleReshape);
    glutIdleFunc(handleIdle);
    glutDisplayFunc(displayForMode());
    glutKeyboardFunc(handleKeyboard);
    enableDepthTest();
}

void handleKeyboard(unsigned char key, int /*x*/, int /*y*/) {
    constexpr unsigned char Escape = 27;
    if (key == Escape) {
        std::exit(0);
    }
    glutPostRedisplay();
}
