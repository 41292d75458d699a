#pragma once
// The window and its toolkit callbacks. The reshape callback and the depth
// test are in app/view.h, shared with the offscreen hosts.

#include "app/view.h"

// Initialises the toolkit with the command line, opens the 600 x 600
// double-buffered window titled after patchMode, registers the reshape,
// idle, display and keyboard callbacks and enables the depth test.
void initWindow(int argc, char** argv);

// Escape (27) ends the program with status 0; any other key redraws.
void handleKeyboard(unsigned char key, int x, int y);
