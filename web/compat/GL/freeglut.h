#pragma once
// Emscripten's system headers have the toolkit's declarations under their
// standard name only; the display and idle code include them by this one.
#include <GL/glut.h>
