// patchview: asks for the surface representation, samples the surface and
// hands over to the toolkit's main loop.

#include <GL/freeglut.h>

#include "app/console.h"
#include "app/window.h"
#include "surface/surface_grid.h"

int main(int argc, char** argv) {
    showText(MenuText);
    applyMenuChoice(readMenuKey());
    showText(ComputingText);
    sampleSurface();
    initWindow(argc, argv);
    glutMainLoop();
    return 0;
}
