// The toolkit calls that the display and idle code make, supplied by the
// recorder instead of the windowing toolkit: there is no window to swap or
// to redraw. Each frame is read back from the offscreen surface after its
// display callback returns.

#include <GL/freeglut.h>

extern "C" void glutSwapBuffers() {}
extern "C" void glutPostRedisplay() {}
