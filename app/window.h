#pragma once
// The window and its toolkit callbacks.

// Initialises the toolkit with the command line, opens the 600 x 600
// double-buffered window titled after patchMode, registers the reshape,
// idle, display and keyboard callbacks and enables the depth test.
void initWindow(int argc, char** argv);

// Viewport over the whole window and a 60-degree perspective of the window's
// aspect. A height of 0 leaves the projection as it was.
void handleReshape(int width, int height);

// Escape (27) ends the program with status 0; any other key redraws.
void handleKeyboard(unsigned char key, int x, int y);
